#include <platform/random_bytes.h>

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

namespace platform {

bool RandomBytes(void* buffer, std::size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const auto piece = static_cast<ULONG>(std::min<std::size_t>(length, 1u << 20));
    if (BCryptGenRandom(nullptr, bytes, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) return false;
    bytes += piece;
    length -= piece;
  }
  return true;
}

}  // namespace platform
