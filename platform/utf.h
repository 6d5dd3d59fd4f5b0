#pragma once
// Conversions between the program's text forms: wide (UTF-16 on Windows,
// UTF-32 elsewhere), UTF-16 as stored in the key store, and UTF-8.
// Every conversion stops at the first zero character and gives an empty
// string for malformed input.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::u16string WideToUtf16(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);

// Text as the key store keeps string values: UTF-16LE bytes with one
// terminating zero unit.
std::vector<std::uint8_t> ToUtf16LeBytes(std::wstring_view text);
// The first `units` UTF-16LE units of data, as they are (zeros included).
std::u16string Utf16LeUnits(const std::uint8_t* data, std::size_t units);

// Number of UTF-16 code units the text needs (what Windows buffers count).
std::size_t Utf16Length(std::wstring_view text);

}  // namespace platform
