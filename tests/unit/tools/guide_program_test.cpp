// The guide program as the build runs it: offscreen, from the sources in
// the tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <tests/support/child.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

class GuideProgramTest : public ::testing::Test {
 protected:
  GuideProgramTest() { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); }

  ChildResult Render(const fs::path& output, const std::string& screenshots,
                     const fs::path& pdfFolder = {}) {
    std::vector<std::string> argv = {TIDEWELL_TUTORIAL_PROGRAM,
                                     "--images",
                                     std::string(TIDEWELL_SOURCE_DIR) + "/res/images",
                                     "--screenshots",
                                     screenshots,
                                     "--version",
                                     "1.0.0.1",
                                     "--output",
                                     output.string()};
    if (!pdfFolder.empty()) argv.insert(argv.end(), {"--pdf-folder", pdfFolder.string()});
    return RunChildWithOutput(argv, 120);
  }
  const std::string shots_ = std::string(TIDEWELL_SOURCE_DIR) + "/docs/screenshots";
  TempHome home_;
};

TEST_F(GuideProgramTest, SameSourcesGiveTheSameArchiveInAnyTimeZone) {
  const fs::path first = home_.root() / "first.zip";
  const fs::path second = home_.root() / "second.zip";
  ASSERT_EQ(Render(first, shots_).exitCode, 0);
  ::setenv("TZ", "Asia/Shanghai", 1);
  const ChildResult again = Render(second, shots_, home_.root());
  ::unsetenv("TZ");
  ASSERT_EQ(again.exitCode, 0) << again.output << again.errors;
  const std::string zip = ReadTextFile(first);
  EXPECT_GT(zip.size(), 200000u);
  EXPECT_EQ(zip, ReadTextFile(second));
  // The PDF copies are the archive's entries, stamped with the fixed date.
  for (const char* name : {"安装教程(必读).pdf", "Installation guide (read first).pdf"}) {
    const std::string pdf = ReadTextFile(home_.root() / fs::u8path(name));
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-") << name;
    EXPECT_NE(pdf.find("/CreationDate (D:20250214000000Z)"), std::string::npos) << name;
  }
}

// The English guide pictures the English window: without it there is no
// guide at all, not a guide with Chinese pictures.
TEST_F(GuideProgramTest, TheEnglishGuideNeedsTheEnglishScreenshots) {
  const fs::path partial = home_.root() / "shots";
  fs::create_directories(partial);
  for (const auto& file : fs::directory_iterator(shots_)) {
    const std::string name = file.path().filename().string();
    if (name.find("_en.png") == std::string::npos) fs::copy(file.path(), partial / name);
  }
  const fs::path output = home_.root() / "guide.zip";
  const ChildResult noEnglishShots = Render(output, partial.string());
  EXPECT_EQ(noEnglishShots.exitCode, 1);
  EXPECT_NE(noEnglishShots.errors.find("could not render"), std::string::npos);
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(GuideProgramTest, MissingScreenshotsFailTheBuildStepAndWriteNothing) {
  const fs::path output = home_.root() / "guide.zip";
  const ChildResult result = Render(output, (home_.root() / "no-shots").string());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errors.find("could not render"), std::string::npos) << result.errors;
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(GuideProgramTest, UnknownOptionsAndMissingOutputAreRefused) {
  const ChildResult unknown =
      RunChildWithOutput({TIDEWELL_TUTORIAL_PROGRAM, "--colour", "blue"}, 60);
  EXPECT_EQ(unknown.exitCode, 1);
  const ChildResult noOutput =
      RunChildWithOutput({TIDEWELL_TUTORIAL_PROGRAM, "--images", "x", "--screenshots", shots_}, 60);
  EXPECT_EQ(noOutput.exitCode, 1);
  EXPECT_NE(noOutput.errors.find("usage"), std::string::npos);
}

}  // namespace
