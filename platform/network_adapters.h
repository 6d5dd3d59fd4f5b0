#pragma once
// The network adapter list: adapters backed by a device first, then virtual
// ones, each group in the order the system gives it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kAdapterTypeEthernet = 6;
inline constexpr std::uint32_t kAdapterTypeWireless = 71;
inline constexpr std::uint32_t kAdapterTypeOther = 1;

struct NetworkAdapter {
  std::string name;
  std::uint32_t type = kAdapterTypeOther;
  std::vector<std::uint8_t> address;
};

// At most maxAdapters records fit; more adapters than that (or an unreadable
// list) gives nothing, as a too-small buffer does on Windows.
std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters(std::size_t maxAdapters);

}  // namespace platform
