#include <platform/own_program.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool MapOwnProgramFile(const std::uint8_t** data, std::size_t* size, std::string* reason) {
  const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0) {
    *reason = "cannot read the program's own file";
    if (fd >= 0) ::close(fd);
    return false;
  }
  void* map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) {
    *reason = "cannot map the program's own file";
    return false;
  }
  *data = static_cast<const std::uint8_t*>(map);
  *size = static_cast<std::size_t>(st.st_size);
  return true;
}

}  // namespace platform
