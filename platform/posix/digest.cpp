#include <platform/digest.h>

#include <openssl/evp.h>

namespace platform {

struct Digest::State {
  EVP_MD_CTX* context = nullptr;
  bool ok = false;
};

Digest::Digest(DigestKind kind) : m_state(std::make_unique<State>()) {
  m_state->context = EVP_MD_CTX_new();
  const EVP_MD* md = kind == DigestKind::Md5 ? EVP_md5() : EVP_sha256();
  m_state->ok = m_state->context != nullptr &&
                EVP_DigestInit_ex(m_state->context, md, nullptr) == 1;
}

Digest::~Digest() { EVP_MD_CTX_free(m_state->context); }

void Digest::Update(const void* data, std::size_t size) {
  if (m_state->ok && size != 0) {
    m_state->ok = EVP_DigestUpdate(m_state->context, data, size) == 1;
  }
}

std::optional<std::vector<unsigned char>> Digest::Finish() {
  if (!m_state->ok) return std::nullopt;
  m_state->ok = false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(m_state->context, digest, &length) != 1) return std::nullopt;
  return std::vector<unsigned char>(digest, digest + length);
}

}  // namespace platform
