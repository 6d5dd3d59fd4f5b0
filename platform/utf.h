#pragma once
// Conversions between the program's text forms: wide (UTF-16 on Windows,
// UTF-32 elsewhere), UTF-16 as stored in the key store, and UTF-8.
// Every conversion stops at the first zero character and gives an empty
// string for malformed input.
#include <string>
#include <string_view>

namespace platform {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::u16string WideToUtf16(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);

// Number of UTF-16 code units the text needs (what Windows buffers count).
std::size_t Utf16Length(std::wstring_view text);

}  // namespace platform
