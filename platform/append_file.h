#pragma once
// Logs that several threads add whole lines to.
#include <filesystem>

#include <platform/file_handle.h>

namespace platform {

// Opens path to append to, created private (0600) when missing; every write
// through it lands at the end as one piece. A link at the name, or a folder,
// is refused. kNoFile on failure (errno says why).
NativeFile OpenPrivateAppendFile(const std::filesystem::path& path);

}  // namespace platform
