#pragma once
// Text formatting and conversions. "936" names the narrow encoding of the
// OS interfaces (console output, command lines): code page 936 on Windows,
// UTF-8 here. Conversions stop at the first zero character and give an empty
// string for empty or malformed input.
#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GNUC__)
#define TIDEWELL_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TIDEWELL_PRINTF(fmt, args)
#endif

// printf-style formatting; a null format or a formatting error gives "".
std::string FormatString(const char* format, ...) TIDEWELL_PRINTF(1, 2);
std::string FormatStringV(const char* format, va_list args) TIDEWELL_PRINTF(1, 0);
// The same for wide text. Pass wide strings with %ls (portable), not %s.
std::wstring FormatWString(const wchar_t* format, ...);

std::string ToLowerAscii(std::string_view text);
// "C:" for "C:\\x"; empty when the second character is not a colon. Kept as
// one of the documented helper set; nothing in the program calls it (paths
// here have no drive).
std::string DriveOfPath(std::string_view path);
// The whitespace-separated words, in order, never an empty one.
std::vector<std::string> SplitWords(const std::string& text);

std::string ToNarrow936(std::wstring_view text);
std::wstring ToWide936(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
// Kept as the documented counterpart of Narrow936ToUtf8; no caller here.
std::string Utf8ToNarrow936(std::string_view text);
std::string Narrow936ToUtf8(std::string_view text);
