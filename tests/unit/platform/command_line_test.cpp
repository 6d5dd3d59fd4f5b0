#include <gtest/gtest.h>

#include <platform/command_line.h>

namespace {

TEST(CommandLine, ArgumentsAreQuotedOnlyWhenTheyMustBe) {
  struct Case {
    std::wstring argument;
    std::wstring quoted;
  };
  const Case cases[] = {
      {L"plain", L"plain"},
      {L"", L"\"\""},
      {L"a b", L"\"a b\""},
      {L"a\tb", L"\"a\tb\""},
      {L"a\"b", L"\"a\\\"b\""},
      // Backslashes are literal unless a quote follows them.
      {L"C:\\a\\b", L"C:\\a\\b"},
      {L"C:\\a b\\c", L"\"C:\\a b\\c\""},
      // Before the closing quote they are doubled.
      {L"C:\\a b\\", L"\"C:\\a b\\\\\""},
      {L"/dir=C:\\x y\\\\", L"\"/dir=C:\\x y\\\\\\\\\""},
      // Before an inner quote: 2n+1.
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      {L"a\\\\\" b", L"\"a\\\\\\\\\\\" b\""},
      {L"\"", L"\"\\\"\""},
      {L"中文 目录", L"\"中文 目录\""},
      {L"$(x);`id`&|<>^%", L"$(x);`id`&|<>^%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::QuoteArgument(c.argument), c.quoted);
  }
}

TEST(CommandLine, TheProgramNameIsQuotedWithoutEscapes) {
  EXPECT_EQ(platform::QuoteProgramName(L"C:\\a\\ollama.exe"), L"C:\\a\\ollama.exe");
  EXPECT_EQ(platform::QuoteProgramName(L"C:\\Program Files\\x\\"),
            L"\"C:\\Program Files\\x\\\"");
  EXPECT_EQ(platform::BuildCommandLine({L"C:\\a b\\setup.exe", L"/SILENT", L"/DIR=C:\\x y\\"}),
            L"\"C:\\a b\\setup.exe\" /SILENT \"/DIR=C:\\x y\\\\\"");
}

TEST(CommandLine, WhatCannotBeSaidOrIsTooLongIsRefused) {
  EXPECT_FALSE(platform::BuildCommandLine({}).has_value());
  EXPECT_FALSE(platform::BuildCommandLine({L""}).has_value());
  EXPECT_FALSE(platform::BuildCommandLine({L"a\"b.exe"}).has_value());
  EXPECT_FALSE(platform::BuildCommandLine({L"p", std::wstring(L"a\0b", 3)}).has_value());
  // "p " and the argument, then the terminator: exactly at the limit.
  const std::wstring fits(platform::kMaxCommandLineUnits - 1 - 2, L'a');
  EXPECT_TRUE(platform::BuildCommandLine({L"p", fits}).has_value());
  EXPECT_FALSE(platform::BuildCommandLine({L"p", fits + L"a"}).has_value());
  // Characters beyond the BMP count two units, as CreateProcessW counts them.
  const std::wstring emoji = L"\U0001F600";
  std::wstring wide;
  for (std::size_t i = 0; i < (platform::kMaxCommandLineUnits - 1 - 2) / 2; ++i) wide += emoji;
  EXPECT_TRUE(platform::BuildCommandLine({L"p", wide}).has_value());
  EXPECT_FALSE(platform::BuildCommandLine({L"p", wide + emoji}).has_value());
}

}  // namespace
