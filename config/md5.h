#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The MD5 digest of the bytes as 32 lowercase hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

// Digest bytes as lowercase hexadecimal digits, two a byte.
std::string LowerHex(const unsigned char* bytes, std::size_t length);
