#pragma once
#include <filesystem>

#include <platform/network_adapters.h>

namespace platform::posix {

// Reads the adapters of a sysfs class/net folder: those with a "device" entry
// first, each group ordered by interface index.
std::optional<std::vector<NetworkAdapter>> ListNetworkAdaptersIn(
    const std::filesystem::path& classNet, std::size_t maxAdapters);

}  // namespace platform::posix
