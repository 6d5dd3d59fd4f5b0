#include <gtest/gtest.h>

#include <platform/utf.h>

namespace {

TEST(Utf, RoundTripsChineseAndAstralText) {
  const std::wstring text = L"安装教程(必读) \U0001F600 ok";
  const std::string utf8 = platform::WideToUtf8(text);
  EXPECT_EQ(utf8, "安装教程(必读) \xF0\x9F\x98\x80 ok");
  EXPECT_EQ(platform::Utf8ToWide(utf8), text);
  const std::u16string utf16 = platform::WideToUtf16(text);
  EXPECT_EQ(utf16.size(), 14u);  // the emoji takes a surrogate pair
  EXPECT_EQ(platform::Utf16Length(text), utf16.size());
  EXPECT_EQ(platform::Utf16ToWide(utf16), text);
}

TEST(Utf, StopsAtTheFirstZero) {
  EXPECT_EQ(platform::Utf8ToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(platform::WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(platform::Utf16ToWide(std::u16string(u"ab\0cd", 5)), L"ab");
}

TEST(Utf, MalformedInputGivesEmptyText) {
  EXPECT_EQ(platform::Utf8ToWide("ok\xC3"), L"");        // cut short
  EXPECT_EQ(platform::Utf8ToWide("\xC0\xAF"), L"");      // overlong '/'
  EXPECT_EQ(platform::Utf8ToWide("\xED\xA0\x80"), L"");  // encoded surrogate
  EXPECT_EQ(platform::Utf8ToWide("\xFF"), L"");
  EXPECT_EQ(platform::Utf16ToWide(u"a\xD800"), L"");  // lone high surrogate
  EXPECT_EQ(platform::Utf16ToWide(std::u16string(1, char16_t(0xDC00))), L"");
  EXPECT_EQ(platform::WideToUtf8(std::wstring(1, wchar_t(0xD800))), "");
}

}  // namespace
