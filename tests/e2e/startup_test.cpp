// Runs the real program offscreen, as a user would start it, in a private
// home.
#include <gtest/gtest.h>

#include <fstream>

#include <config/reg_key.h>
#include <platform/instance_lock.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// Width and height from a PNG file's header; {0, 0} when it is not one.
std::pair<unsigned, unsigned> PngSize(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (!in || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return {0, 0};
  auto be32 = [&](int at) {
    return (unsigned{header[at]} << 24) | (unsigned{header[at + 1]} << 16) |
           (unsigned{header[at + 2]} << 8) | unsigned{header[at + 3]};
  };
  return {be32(16), be32(20)};
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TIDEWELL_MESSAGE_LOG", (home_.root() / "messages.txt").c_str(), 1);
    ::unsetenv("TIDEWELL_TRANSLATION");
    // Its messages are checked in Chinese, whatever the machine's locale.
    ::setenv("TIDEWELL_LANGUAGE", "zh", 1);
  }
  ~StartupTest() override {
    ::unsetenv("TIDEWELL_LANGUAGE");
    ::unsetenv("TIDEWELL_SCREENSHOT");
    ::unsetenv("TIDEWELL_MESSAGE_LOG");
    ::unsetenv("TIDEWELL_TRANSLATION");
  }
  ChildResult RunWithScreenshot(const fs::path& png) {
    ::setenv("TIDEWELL_SCREENSHOT", png.c_str(), 1);
    ChildResult result = RunChild({TIDEWELL_APP}, 60);
    ::unsetenv("TIDEWELL_SCREENSHOT");
    return result;
  }
  TempHome home_;
};

TEST_F(StartupTest, WindowAppearsAndIdentityIsRecorded) {
  const fs::path png = home_.root() / "window.png";
  const ChildResult result = RunWithScreenshot(png);
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(PngSize(png), std::make_pair(818u, 618u));
  EXPECT_TRUE(fs::is_directory(home_.config() / "Tidewell"));  // data folder
  EXPECT_EQ(ModeOf(home_.config() / "Tidewell"), 0700);
  EXPECT_TRUE(fs::is_directory(home_.data() / "Tidewell"));  // work folder
  RegKey key(platform::kCurrentUser, L"SOFTWARE\\Tidewell");
  const std::wstring uuid = key.GetStringValue(L"uuid");
  EXPECT_EQ(uuid.size(), 32u);
  EXPECT_EQ(ReadTextFile(home_.root() / "messages.txt"), "");  // no error box
}

TEST_F(StartupTest, SecondInstanceEndsAtOnceWithoutAWindow) {
  BackgroundChild first({TIDEWELL_APP});
  // The first instance is up once it holds the lock.
  ASSERT_TRUE(Eventually([&] {
    std::unique_ptr<platform::InstanceLock> probe;
    return platform::AcquireInstanceLock(L"9C41D7A2-6B3E-4F80-A1C5-7E2B94D03F66", &probe) ==
           platform::InstanceLockResult::AlreadyHeld;
  }));
  const fs::path png = home_.root() / "second.png";
  const ChildResult second = RunWithScreenshot(png);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_LT(second.seconds, 5.0);
  EXPECT_FALSE(fs::exists(png));  // it never showed a window
  EXPECT_TRUE(first.Running());
}

TEST_F(StartupTest, LockThatCannotBeTakenNeverStopsTheProgram) {
  // Something planted where the lock file goes: no lock, but the window opens.
  fs::create_symlink(home_.root() / "elsewhere",
                     home_.root() / "run" / "9C41D7A2-6B3E-4F80-A1C5-7E2B94D03F66.lock");
  const fs::path png = home_.root() / "window.png";
  const ChildResult result = RunWithScreenshot(png);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(PngSize(png), std::make_pair(818u, 618u));
  EXPECT_FALSE(fs::exists(home_.root() / "elsewhere"));
}

TEST_F(StartupTest, MissingTranslationStillOpensTheWindow) {
  ::setenv("TIDEWELL_TRANSLATION", (home_.root() / "missing.qm").c_str(), 1);
  const fs::path png = home_.root() / "window.png";
  const ChildResult result = RunWithScreenshot(png);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(PngSize(png), std::make_pair(818u, 618u));
}

TEST_F(StartupTest, DataFolderThatCannotBeCreatedIsReportedAndEndsTheProgram) {
  // A file where the data folder should be.
  std::ofstream(home_.config() / "Tidewell") << "in the way";
  const fs::path png = home_.root() / "window.png";
  const ChildResult result = RunWithScreenshot(png);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_FALSE(fs::exists(png));
  EXPECT_NE(ReadTextFile(home_.root() / "messages.txt").find("无法创建数据文件夹"),
            std::string::npos);
}

TEST_F(StartupTest, ExistingSettingsAreLoadedAndKept) {
  const fs::path settings = home_.config() / "Tidewell" / "config";
  fs::create_directories(settings.parent_path());
  std::ofstream(settings, std::ios::binary) << "not even json";
  const ChildResult result = RunWithScreenshot(home_.root() / "window.png");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadTextFile(settings), "not even json");  // read, never rewritten
}

TEST_F(StartupTest, TutorialArchiveIsPlacedWhenMissingAndKeptOtherwise) {
  const fs::path archive = home_.data() / "Tidewell" / "JEBMWKX6V.zip";
  ASSERT_EQ(RunWithScreenshot(home_.root() / "first.png").exitCode, 0);
  EXPECT_EQ(ModeOf(archive), 0600);
  EXPECT_EQ(ReadTextFile(archive).substr(0, 4), "PK\x03\x04");

  // A copy already there (another version, or one the user replaced) stays.
  std::ofstream(archive, std::ios::binary | std::ios::trunc) << "kept";
  ASSERT_EQ(RunWithScreenshot(home_.root() / "second.png").exitCode, 0);
  EXPECT_EQ(ReadTextFile(archive), "kept");
}

}  // namespace
