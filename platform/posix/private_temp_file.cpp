#include <platform/private_temp_file.h>

#include <fcntl.h>
#include <stdlib.h>

#include <string>

namespace platform {

NativeFile CreatePrivateTempFile(const std::filesystem::path& folder, std::string_view prefix,
                                 std::string_view suffix, std::filesystem::path* path) {
  std::string name = (folder / prefix).native();
  name += "XXXXXX";
  name += suffix;
  // mkostemps: O_CREAT|O_EXCL (a planted link or file is never opened), 0600.
  const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
  if (fd < 0) return kNoFile;
  *path = name;
  return fd;
}

}  // namespace platform
