#include <gtest/gtest.h>
#include <stdlib.h>

#include <platform/shell_open.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// A stand-in opener on PATH that records the arguments it was given.
class ShellOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = home_.root() / "opened.txt";
    // One write a call: openers started at once must not interleave lines.
    WriteScript(
        home_.root() / "bin" / "xdg-open",
        "line=$(printf '%s|' \"$@\"); printf '%s\\n' \"$line\" >> '" + record_.string() + "'");
    const char* path = ::getenv("PATH");
    savedPath_ = path != nullptr ? path : "";
    ::setenv("PATH", ((home_.root() / "bin").string() + ":" + savedPath_).c_str(), 1);
  }
  void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }
  bool Opened(const std::string& argument) {
    return Eventually(
        [&] { return ReadTextFile(record_).find(argument + "|\n") != std::string::npos; });
  }

  TempHome home_;
  fs::path record_;
  std::string savedPath_;
};

TEST_F(ShellOpenTest, WebAddressesAndAbsolutePathsReachTheOpener) {
  EXPECT_TRUE(platform::ShellOpen("https://example.invalid/a?b=c&d"));
  EXPECT_TRUE(platform::ShellOpen("HTTP://example.invalid/"));
  EXPECT_TRUE(platform::ShellOpen("/home/u/安装 目录/-x"));
  EXPECT_TRUE(Opened("https://example.invalid/a?b=c&d"));
  EXPECT_TRUE(Opened("HTTP://example.invalid/"));
  EXPECT_TRUE(Opened("file:///home/u/%E5%AE%89%E8%A3%85%20%E7%9B%AE%E5%BD%95/-x"));
}

TEST_F(ShellOpenTest, OptionsOtherSchemesAndRelativePathsAreRefused) {
  for (const std::string target :
       {"", "--help", "-x", "file:///etc/passwd", "javascript:alert(1)",
        "ms-settings:", "ftp://example.invalid/", "http:/no-host", "https://", "relative/path",
        "~/x", "https://example.invalid/\nsecond"}) {
    EXPECT_FALSE(platform::ShellOpen(target)) << target;
  }
  // Refused targets never start the opener; a good one afterwards does.
  ASSERT_TRUE(platform::ShellOpen("https://example.invalid/end"));
  ASSERT_TRUE(Opened("https://example.invalid/end"));
  EXPECT_EQ(ReadTextFile(record_), "https://example.invalid/end|\n");
}

}  // namespace
