#include <platform/file_lock.h>

#include <sys/file.h>

namespace platform {

bool TryLockFile(NativeFile file) { return ::flock(file, LOCK_EX | LOCK_NB) == 0; }

}  // namespace platform
