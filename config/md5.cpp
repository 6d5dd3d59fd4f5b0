#include <config/md5.h>

#include <platform/digest.h>

std::string Md5Hex(std::string_view bytes) {
  const auto digest = platform::DigestOf(platform::DigestKind::Md5, bytes);
  return digest ? LowerHex(digest->data(), digest->size()) : std::string();
}

std::string LowerHex(const unsigned char* bytes, std::size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 15]);
  }
  return hex;
}
