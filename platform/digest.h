#pragma once
// Message digests from the system's crypto provider (libcrypto here, CNG on
// Windows): MD5 for the device identity, SHA-256 for packages and models.
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

enum class DigestKind { Md5, Sha256 };

// Bytes fed in pieces; the digest once at the end. Any failure of the
// provider makes Finish give nothing, never a digest of part of the input.
class Digest {
 public:
  explicit Digest(DigestKind kind);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Update(const void* data, std::size_t size);
  // The raw digest (16 or 32 bytes); nothing after a failure or a second call.
  std::optional<std::vector<unsigned char>> Finish();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

std::optional<std::vector<unsigned char>> DigestOf(DigestKind kind, std::string_view bytes);

}  // namespace platform
