#include <config/rc4.h>

#include <array>
#include <cstdint>
#include <utility>

void Rc4Scramble(std::string_view key, char* data, std::size_t size) {
  if (key.empty()) return;
  std::array<std::uint8_t, 256> s{};
  for (std::size_t i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + static_cast<std::uint8_t>(key[i % key.size()]));
    std::swap(s[i], s[j]);
  }
  std::uint8_t a = 0;
  std::uint8_t b = 0;
  for (std::size_t n = 0; n < size; ++n) {
    a = static_cast<std::uint8_t>(a + 1);
    b = static_cast<std::uint8_t>(b + s[a]);
    std::swap(s[a], s[b]);
    data[n] = static_cast<char>(static_cast<std::uint8_t>(data[n]) ^
                                s[static_cast<std::uint8_t>(s[a] + s[b])]);
  }
}
