#pragma once
// The installation guide the assistant carries: the archive the tutorial
// click looks for in the work folder, and the guide inside it for each
// language of the window. The build packs both guides into one archive.
#include <string_view>

inline constexpr wchar_t kTutorialArchiveName[] = L"JEBMWKX6V.zip";
inline constexpr char kTutorialGuideChinese[] = "安装教程(必读).pdf";
inline constexpr char kTutorialGuideEnglish[] = "Installation guide (read first).pdf";

// The guide's entry name for a window language code ("zh", "en"); Chinese
// for any other code.
constexpr const char* TutorialGuideFor(std::string_view language) {
  return language == "en" ? kTutorialGuideEnglish : kTutorialGuideChinese;
}
