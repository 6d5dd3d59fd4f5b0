// Running programs through the helpers on Windows, with the probe program
// standing in for setups and the runner: the same behaviours the POSIX
// build checks with shell scripts.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <base/process_helpers.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

const std::string kProbe = TIDEWELL_PROBE_PROGRAM;

class ProcessHelpersWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"TIDEWELL_PROBE_RECORD", platform::WidePath(args()).c_str());
  }
  void TearDown() override { ::SetEnvironmentVariableW(L"TIDEWELL_PROBE_RECORD", nullptr); }
  fs::path args() const { return home_.root() / "args"; }
  // A stand-in setup in dir that records its arguments, one per line.
  fs::path Recorder(const fs::path& dir) {
    fs::create_directories(dir);
    fs::copy_file(fs::path(kProbe), dir / "recorder.exe");
    return dir / "recorder.exe";
  }
  TempHome home_;
};

TEST_F(ProcessHelpersWin32Test, InstallPathsAreNeverInterpreted) {
  // What cmd.exe would make something of; quotes cannot be in a name here.
  const fs::path dir = home_.root() / fs::path(u8"安装 目录") / "a'b & c; $(x) %PATH% ^!`id`";
  const fs::path setup = Recorder(dir);
  const std::wstring installDir = platform::WidePath(dir) + L"\\ollama_location";
  ASSERT_TRUE(RunInstallerHidden(platform::WidePath(setup), {L"/SILENT", L"/DIR=" + installDir}));
  // The helper waited: the line written after the pause is there.
  EXPECT_EQ(ReadTextFile(args()),
            "/SILENT\n/DIR=" + platform::WideToUtf8(installDir) + "\ndone\n");
}

TEST_F(ProcessHelpersWin32Test, RunProcessWaitsOnlyWhenAsked) {
  const fs::path setup = Recorder(home_.root() / "bin");
  ASSERT_TRUE(RunProcess(platform::WidePath(setup), {L"/S"}, true));
  EXPECT_EQ(ReadTextFile(args()), "/S\ndone\n");
  fs::remove(args());
  ASSERT_TRUE(RunProcess(platform::WidePath(setup), {}, false));
  EXPECT_EQ(ReadTextFile(args()).find("done"), std::string::npos);  // did not wait
  for (int i = 0; i < 100 && ReadTextFile(args()) != "done\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(ReadTextFile(args()), "done\n");
  ASSERT_TRUE(RunAndWait(platform::WidePath(setup), {L"pull", L"deepseek-r1:7b"}));
  EXPECT_EQ(ReadTextFile(args()), "pull\ndeepseek-r1:7b\ndone\n");
}

TEST_F(ProcessHelpersWin32Test, OverlongCommandLinesAreRefused) {
  const std::wstring exe = platform::WidePath(Recorder(home_.root() / "bin"));
  // Exactly at the limit: 511 units plus the terminator fit.
  const std::size_t room = kCommandLineBufferUnits - 1 - CommandLineUnits(exe, {L"x"}) + 1;
  const std::wstring fits(room, L'a');
  EXPECT_EQ(CommandLineUnits(exe, {fits}), kCommandLineBufferUnits - 1);
  EXPECT_TRUE(RunProcess(exe, {fits}, true));
  EXPECT_EQ(ReadTextFile(args()), platform::WideToUtf8(fits) + "\ndone\n");
  EXPECT_FALSE(RunProcess(exe, {fits + L"a"}, true));
}

TEST_F(ProcessHelpersWin32Test, RunCommandLinesReturnsPiecesOfAtMost1023Bytes) {
  const auto pieces = RunCommandLines({kProbe, "fill", "3000", "x", "\nNAME ID\n\nlast"});
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0].size(), 1023u);
  EXPECT_EQ(pieces[1].size(), 1023u);
  EXPECT_EQ(pieces[2].size(), 954u + 1u);  // the rest, newline included
  EXPECT_EQ(pieces[2].back(), '\n');
  EXPECT_EQ(pieces[3], "NAME ID\n");
  EXPECT_EQ(pieces[4], "\n");
  EXPECT_EQ(pieces[5], "last");
  EXPECT_TRUE(RunCommandLines({kProbe, "exit", "0"}).empty());
}

TEST_F(ProcessHelpersWin32Test, A3000ByteLineWithoutNewlineSplitsIn1023_1023_954) {
  const auto pieces = RunCommandLines({kProbe, "fill", "3000", "y"});
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 1023u);
  EXPECT_EQ(pieces[1].size(), 1023u);
  EXPECT_EQ(pieces[2].size(), 954u);
}

TEST_F(ProcessHelpersWin32Test, OutputBeyondTheCapEndsTheProgramAndKeepsItsStart) {
  struct Case {
    const char* name;
    std::vector<std::string> argv;
    int timeoutMs;
  };
  const std::string cap = std::to_string(kMaxCommandOutputBytes);
  const std::string over = std::to_string(3 * kMaxCommandOutputBytes);
  const Case cases[] = {
      {"exactly the cap, then ends", {kProbe, "print", cap}, -1},
      {"three times the cap, then ends", {kProbe, "print", over}, -1},
      // Still running after printing: only the cap can end it before the limit.
      {"three times the cap, then stays", {kProbe, "print", over, "stay"}, 20000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto pieces = RunCommandLinesWithin(c.argv, c.timeoutMs);
    std::string kept;
    for (const auto& piece : pieces) kept += piece;
    EXPECT_EQ(kept.size(), kMaxCommandOutputBytes);
    EXPECT_EQ(kept.find_first_not_of('x'), std::string::npos);
  }
}

}  // namespace
