#include <platform/digest.h>

#include <windows.h>
#include <bcrypt.h>

namespace platform {

// CNG: one algorithm provider and one hash object per digest.
struct Digest::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = false;
};

namespace {
bool Succeeded(NTSTATUS status) { return status >= 0; }
}  // namespace

Digest::Digest(DigestKind kind) : m_state(std::make_unique<State>()) {
  const wchar_t* name = kind == DigestKind::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
  m_state->ok =
      Succeeded(BCryptOpenAlgorithmProvider(&m_state->algorithm, name, nullptr, 0)) &&
      Succeeded(BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0));
}

Digest::~Digest() {
  if (m_state->hash != nullptr) BCryptDestroyHash(m_state->hash);
  if (m_state->algorithm != nullptr) BCryptCloseAlgorithmProvider(m_state->algorithm, 0);
}

void Digest::Update(const void* data, std::size_t size) {
  // BCryptHashData takes at most a ULONG at a time.
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (m_state->ok && size != 0) {
    const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    m_state->ok =
        Succeeded(BCryptHashData(m_state->hash, const_cast<PUCHAR>(bytes), piece, 0));
    bytes += piece;
    size -= piece;
  }
}

std::optional<std::vector<unsigned char>> Digest::Finish() {
  if (!m_state->ok) return std::nullopt;
  m_state->ok = false;
  DWORD length = 0;
  ULONG written = 0;
  if (!Succeeded(BCryptGetProperty(m_state->hash, BCRYPT_HASH_LENGTH,
                                   reinterpret_cast<PUCHAR>(&length), sizeof(length), &written,
                                   0))) {
    return std::nullopt;
  }
  std::vector<unsigned char> digest(length);
  if (!Succeeded(BCryptFinishHash(m_state->hash, digest.data(), length, 0))) return std::nullopt;
  return digest;
}

}  // namespace platform
