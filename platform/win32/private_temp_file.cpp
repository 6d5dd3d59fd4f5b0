#include <platform/private_temp_file.h>

#include <cerrno>
#include <string>

#include <platform/random_bytes.h>
#include <platform/utf.h>
#include <platform/win32/win32_files.h>

namespace platform {

NativeFile CreatePrivateTempFile(const std::filesystem::path& folder, std::string_view prefix,
                                 std::string_view suffix, std::filesystem::path* path) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[12] = {};
    if (!RandomBytes(random, sizeof random)) {
      errno = EIO;
      return kNoFile;
    }
    std::string name(prefix);
    for (const unsigned char byte : random) name.push_back(kLetters[byte % (sizeof kLetters - 1)]);
    name += suffix;
    const std::filesystem::path candidate = folder / Utf8ToWide(name);
    // CREATE_NEW: whatever stands there (a planted file or link) makes it
    // fail; the folder's rights (the user's own) are inherited.
    const HANDLE file = CreateFileW(
        candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *path = candidate;
      return win32::FileOf(file);
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  win32::SetErrnoFromLastError();
  return kNoFile;
}

}  // namespace platform
