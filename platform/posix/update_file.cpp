#include <platform/update_file.h>

#include <fcntl.h>

namespace platform {

NativeFile OpenPrivateFileToUpdate(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace platform
