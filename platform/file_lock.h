#pragma once
// A lock that says "this file is in use by a run of ours".
#include <platform/file_handle.h>

namespace platform {

// Takes an exclusive lock on the whole file without waiting; held until the
// file is closed. False when another handle holds it (or on error).
bool TryLockFile(NativeFile file);

}  // namespace platform
