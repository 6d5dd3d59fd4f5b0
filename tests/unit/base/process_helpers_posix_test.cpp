// Running programs through the helpers, with shell scripts standing in for
// them: /bin/sh, head and tr are POSIX tools (the Windows build runs the
// same behaviours with its probe program).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <base/process_helpers.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

class ProcessHelpersTest : public ::testing::Test {
 protected:
  // A stand-in program that records its arguments, one per line.
  fs::path Recorder(const fs::path& dir) {
    return WriteScript(dir / "setup", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                          (home_.root() / "args").string() +
                                          "\"; sleep 0.2; echo done >> \"" +
                                          (home_.root() / "args").string() + "\"");
  }
  TempHome home_;
};

TEST_F(ProcessHelpersTest, InstallPathsAreNeverInterpreted) {
  const fs::path dir = home_.root() / "安装 目录" / "a'b \"c\"; $(touch pwned) `id`";
  const fs::path setup = Recorder(dir);
  const std::wstring installDir = platform::WidePath(dir) + L"/ollama_location";
  ASSERT_TRUE(RunInstallerHidden(platform::WidePath(setup), {L"/silent", L"/dir=" + installDir}));
  // The helper waited: the line written after the pause is there.
  EXPECT_EQ(ReadTextFile(home_.root() / "args"),
            "/silent\n/dir=" + platform::OsPath(installDir).string() + "\ndone\n");
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(fs::exists(dir / "pwned"));
}

TEST_F(ProcessHelpersTest, RunProcessWaitsOnlyWhenAsked) {
  const fs::path setup = Recorder(home_.root() / "bin");
  ASSERT_TRUE(RunProcess(platform::WidePath(setup), {L"/S"}, true));
  EXPECT_EQ(ReadTextFile(home_.root() / "args"), "/S\ndone\n");
  fs::remove(home_.root() / "args");
  ASSERT_TRUE(RunProcess(platform::WidePath(setup), {}, false));
  EXPECT_EQ(ReadTextFile(home_.root() / "args").find("done"), std::string::npos);  // did not wait
  for (int i = 0; i < 100 && ReadTextFile(home_.root() / "args") != "done\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(ReadTextFile(home_.root() / "args"), "done\n");
  ASSERT_TRUE(RunAndWait(platform::WidePath(setup), {L"pull", L"deepseek-r1:7b"}));
  EXPECT_EQ(ReadTextFile(home_.root() / "args"), "pull\ndeepseek-r1:7b\ndone\n");
}

TEST_F(ProcessHelpersTest, MissingProgramsAndOverlongCommandLinesAreRefused) {
  EXPECT_FALSE(RunProcess(L"/nonexistent/Chatbox", {}, true));
  EXPECT_FALSE(RunInstallerHidden(L"/nonexistent/OllamaSetup", {L"/silent"}));
  EXPECT_FALSE(RunProcess(L"", {}, false));

  const fs::path setup = Recorder(home_.root() / "bin");
  const std::wstring exe = platform::WidePath(setup);
  // Exactly at the limit: 511 units plus the terminator fit.
  const std::size_t room = kCommandLineBufferUnits - 1 - CommandLineUnits(exe, {L"x"}) + 1;
  const std::wstring fits(room, L'a');
  EXPECT_EQ(CommandLineUnits(exe, {fits}), kCommandLineBufferUnits - 1);
  EXPECT_TRUE(RunProcess(exe, {fits}, true));
  EXPECT_FALSE(RunProcess(exe, {fits + L"a"}, true));
  // Non-BMP characters count two units, as on Windows.
  EXPECT_EQ(CommandLineUnits(L"/p", {L"\U0001F600"}), 2u + 1u + 2u);
  // Quoted: the blank needs quotes, the inner quote an escape.
  EXPECT_EQ(CommandLineUnits(L"/a b", {L"x\"y z"}), 6u + 1u + 8u);
  // A backslash before the closing quote is doubled.
  EXPECT_EQ(CommandLineUnits(L"/p", {L"/dir=C:\\a b\\"}), 2u + 1u + 15u);
}

TEST_F(ProcessHelpersTest, RunCommandLinesReturnsPiecesOfAtMost1023Bytes) {
  const auto pieces = RunCommandLines(
      {"/bin/sh", "-c", "head -c 3000 /dev/zero | tr '\\0' x; printf '\\nNAME ID\\n\\nlast'"});
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0].size(), 1023u);
  EXPECT_EQ(pieces[1].size(), 1023u);
  EXPECT_EQ(pieces[2].size(), 954u + 1u);  // the rest, newline included
  EXPECT_EQ(pieces[2].back(), '\n');
  EXPECT_EQ(pieces[3], "NAME ID\n");
  EXPECT_EQ(pieces[4], "\n");
  EXPECT_EQ(pieces[5], "last");
  EXPECT_TRUE(RunCommandLines({"/bin/true"}).empty());
  EXPECT_TRUE(RunCommandLines({"/nonexistent/ollama", "list"}).empty());
}

TEST_F(ProcessHelpersTest, A3000ByteLineWithoutNewlineSplitsIn1023_1023_954) {
  const auto pieces = RunCommandLines({"/bin/sh", "-c", "head -c 3000 /dev/zero | tr '\\0' y"});
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 1023u);
  EXPECT_EQ(pieces[1].size(), 1023u);
  EXPECT_EQ(pieces[2].size(), 954u);
}

TEST_F(ProcessHelpersTest, OutputBeyondTheCapEndsTheProgramAndKeepsItsStart) {
  struct Case {
    const char* name;
    std::vector<std::string> argv;
    int timeoutMs;
    std::size_t kept;
  };
  const std::string cap = std::to_string(kMaxCommandOutputBytes);
  const std::string over = std::to_string(3 * kMaxCommandOutputBytes);
  const Case cases[] = {
      {"exactly the cap, then ends",
       {"/bin/sh", "-c", "head -c " + cap + " /dev/zero | tr '\\0' x"},
       -1,
       kMaxCommandOutputBytes},
      {"three times the cap, then ends",
       {"/bin/sh", "-c", "head -c " + over + " /dev/zero | tr '\\0' x"},
       -1,
       kMaxCommandOutputBytes},
      // Still running after printing: only the cap can end it before the limit.
      {"three times the cap, then stays",
       {"/bin/sh", "-c", "head -c " + over + " /dev/zero | tr '\\0' x; exec sleep 600"},
       20000,
       kMaxCommandOutputBytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto pieces = RunCommandLinesWithin(c.argv, c.timeoutMs);
    std::string kept;
    for (const auto& piece : pieces) kept += piece;
    EXPECT_EQ(kept.size(), c.kept);
    EXPECT_EQ(kept.find_first_not_of('x'), std::string::npos);
  }
}

}  // namespace
