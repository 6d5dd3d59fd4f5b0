#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Bytes free to the user on the volume that holds path, or would hold it when
// it does not exist yet (its nearest existing ancestor is measured).
std::optional<std::uint64_t> FreeDiskSpace(const std::wstring& path);

}  // namespace platform
