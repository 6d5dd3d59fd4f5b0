#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The key the settings file is scrambled with. Files written with one key
// cannot be read with another, so it never changes.
inline constexpr std::string_view kSettingsScrambleKey = "tW7q";

// RC4 over the buffer in place; applying it twice restores the buffer.
void Rc4Scramble(std::string_view key, char* data, std::size_t size);
inline void Rc4Scramble(std::string_view key, std::string& buffer) {
  Rc4Scramble(key, buffer.data(), buffer.size());
}
