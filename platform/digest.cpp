#include <platform/digest.h>

namespace platform {

std::optional<std::vector<unsigned char>> DigestOf(DigestKind kind, std::string_view bytes) {
  Digest digest(kind);
  digest.Update(bytes.data(), bytes.size());
  return digest.Finish();
}

}  // namespace platform
