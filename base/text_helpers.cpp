#include <base/text_helpers.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <sstream>

#include <platform/os_encoding.h>
#include <platform/utf.h>

std::string FormatStringV(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list counting;
  va_copy(counting, args);
  const int length = std::vsnprintf(nullptr, 0, format, counting);
  va_end(counting);
  if (length <= 0) return {};
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  if (std::vsnprintf(out.data(), out.size(), format, args) != length) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatStringV(format, args);
  va_end(args);
  return out;
}

std::wstring FormatWString(const wchar_t* format, ...) {
  if (format == nullptr) return {};
  // The wide formatter cannot count here (-1 for a short buffer), so grow
  // the buffer until the text fits. MinGW's counts as snprintf does: the
  // length the whole text needs, with only what fitted written.
  std::wstring out(256, L'\0');
  for (;;) {
    va_list args;
    va_start(args, format);
    const int written = std::vswprintf(out.data(), out.size(), format, args);
    va_end(args);
    if (written >= 0 && static_cast<std::size_t>(written) < out.size()) {
      out.resize(static_cast<std::size_t>(written));
      return out;
    }
    if (out.size() >= (1u << 24)) return {};  // a formatting error, not a short buffer
    out.resize(written > 0 ? static_cast<std::size_t>(written) + 1 : out.size() * 4);
  }
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string DriveOfPath(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  return {};
}

std::vector<std::string> SplitWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string ToNarrow936(std::wstring_view text) { return platform::WideToOsNarrow(text); }
std::wstring ToWide936(std::string_view text) { return platform::OsNarrowToWide(text); }
std::string WideToUtf8(std::wstring_view text) { return platform::WideToUtf8(text); }
std::wstring Utf8ToWide(std::string_view text) { return platform::Utf8ToWide(text); }
std::string Utf8ToNarrow936(std::string_view text) { return ToNarrow936(Utf8ToWide(text)); }
std::string Narrow936ToUtf8(std::string_view text) { return WideToUtf8(ToWide936(text)); }
