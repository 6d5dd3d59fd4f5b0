#pragma once
#include <filesystem>

#include <platform/status.h>

namespace platform {

// Moves a file, also across file systems, never replacing an existing
// destination (kErrorAlreadyExists then).
Status MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace platform
