#include <gtest/gtest.h>

#include <base/text_helpers.h>

namespace {

TEST(Format, NarrowAndWide) {
  EXPECT_EQ(FormatString("%s\\%s\\", "/home/u", "Tidewell"), "/home/u\\Tidewell\\");
  EXPECT_EQ(FormatString("%d%%", 42), "42%");
  EXPECT_EQ(FormatString(nullptr), "");
  EXPECT_EQ(FormatString("%s", ""), "");
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatString("[%s]", longText.c_str()).size(), 5002u);
  EXPECT_EQ(FormatWString(L"%ls %ls", L"/opt/模型", L"/silent"), L"/opt/模型 /silent");
  const std::wstring longWide(3000, L'字');
  EXPECT_EQ(FormatWString(L"%ls!", longWide.c_str()), longWide + L"!");
  EXPECT_EQ(FormatWString(nullptr), L"");
}

TEST(Text, DriveOfPath) {
  EXPECT_EQ(DriveOfPath("C:\\AlTidewell"), "C:");
  EXPECT_EQ(DriveOfPath("d:"), "d:");
  EXPECT_EQ(DriveOfPath("C"), "");
  EXPECT_EQ(DriveOfPath(""), "");
  EXPECT_EQ(DriveOfPath("/home/u"), "");
  EXPECT_EQ(DriveOfPath(":C"), "");
}

TEST(Text, SplitWordsOfARunnerListLine) {
  EXPECT_EQ(SplitWords("  deepseek-r1:7b \t 0a8c26691023   4.7 GB\t 2 days ago \r\n"),
            (std::vector<std::string>{"deepseek-r1:7b", "0a8c26691023", "4.7", "GB", "2", "days",
                                      "ago"}));
  EXPECT_TRUE(SplitWords(" \t\r\n\v\f").empty());
  EXPECT_TRUE(SplitWords("").empty());
}

TEST(Text, LowerAsciiLeavesOtherBytes) {
  EXPECT_EQ(ToLowerAscii("DeepSeek-R1:1.5B 模型"), "deepseek-r1:1.5b 模型");
}

TEST(Text, ConversionsRoundTripAndStopAtZero) {
  const std::wstring wide = L"安装失败 ok";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(wide)), wide);
  EXPECT_EQ(ToWide936(ToNarrow936(wide)), wide);
  EXPECT_EQ(Narrow936ToUtf8(Utf8ToNarrow936("网络不畅")), "网络不畅");
  EXPECT_EQ(ToNarrow936(std::wstring(L"a\0b", 3)), "a");
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(Utf8ToWide("\xFF\xFE"), L"");
}

}  // namespace
