#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Bytes free to the user on the volume that holds path, or would hold it when
// it does not exist yet (its nearest existing ancestor is measured).
std::optional<std::uint64_t> FreeDiskSpace(const std::wstring& path);

// Bytes the file or everything below the folder takes on disk (allocated
// blocks of regular files; a file with several names counted once). Links
// are never followed, the path itself included; entries that vanish or
// cannot be read meanwhile count nothing. 0 when the path is missing.
std::uint64_t SizeOnDisk(const std::wstring& path);

}  // namespace platform
