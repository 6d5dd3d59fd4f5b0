#include <platform/append_file.h>

#include <platform/win32/file_util.h>

namespace platform {

NativeFile OpenPrivateAppendFile(const std::filesystem::path& path) {
  // Append-only access: the system puts each write at the end of the file.
  return win32::OpenPrivateRegularFile(path, FILE_APPEND_DATA | SYNCHRONIZE | FILE_READ_ATTRIBUTES);
}

}  // namespace platform
