// The engine's texts pass through the hook the window installs, and stay
// as written without one or without a translation.
#include <gtest/gtest.h>

#include <cstring>

#include <base/translate.h>

namespace {

std::wstring Uppercase(const char* context, const char* text) {
  if (std::strcmp(context, "Known") != 0) return std::wstring();
  std::wstring result;
  for (const char* c = text; *c != '\0'; ++c) {
    result += static_cast<wchar_t>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
  }
  return result;
}

TEST(Translate, UsesTheHookAndFallsBackToTheText) {
  tw::SetTranslateHook(nullptr);
  EXPECT_EQ(TW_TR("Known", "下载 %ls"), L"下载 %ls");
  EXPECT_EQ(TW_TR8("Known", "下载"), "下载");

  tw::SetTranslateHook(&Uppercase);
  EXPECT_EQ(TW_TR("Known", "download %ls"), L"DOWNLOAD %LS");
  EXPECT_EQ(TW_TR8("Known", "left"), "LEFT");
  // No translation in that context: the text itself.
  EXPECT_EQ(TW_TR("Other", "剩余"), L"剩余");
  EXPECT_EQ(tw::Translate("Known", nullptr), L"");
  // A constant marked for translation is the text itself.
  constexpr char kMarked[] = TW_TR_NOOP("Known", "kept");
  EXPECT_STREQ(kMarked, "kept");
  tw::SetTranslateHook(nullptr);
}

TEST(Translate, ShownLanguageFollowsTheHook) {
  EXPECT_STREQ(tw::ShownLanguage(), "zh");
  tw::SetTranslateHook(&Uppercase, "en");
  EXPECT_STREQ(tw::ShownLanguage(), "en");
  // Without a hook nothing is translated, so the texts are Chinese.
  tw::SetTranslateHook(nullptr, "en");
  EXPECT_STREQ(tw::ShownLanguage(), "zh");
}

}  // namespace
