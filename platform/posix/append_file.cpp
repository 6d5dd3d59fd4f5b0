#include <platform/append_file.h>

#include <fcntl.h>

namespace platform {

NativeFile OpenPrivateAppendFile(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace platform
