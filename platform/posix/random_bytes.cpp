#include <platform/random_bytes.h>

#include <sys/random.h>

#include <cerrno>

namespace platform {

bool RandomBytes(void* buffer, std::size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::getrandom(bytes + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace platform
