#include <platform/update_file.h>

#include <platform/win32/file_util.h>

namespace platform {

NativeFile OpenPrivateFileToUpdate(const std::filesystem::path& path) {
  return win32::OpenPrivateRegularFile(path, GENERIC_READ | GENERIC_WRITE);
}

}  // namespace platform
