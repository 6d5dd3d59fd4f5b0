#pragma once
#include <string>
#include <string_view>

// The MD5 digest of the bytes as 32 lowercase hexadecimal digits.
std::string Md5Hex(std::string_view bytes);
