#pragma once
// Paths from and to the UTF-8 text the stand-ins keep names in. The char8_t
// forms mean UTF-8 on every system (std::string would mean the ANSI code
// page on Windows).
#include <filesystem>
#include <string>

namespace fake_text {

inline std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace fake_text
