#include <gtest/gtest.h>

#include <fstream>

#include <base/file_helpers.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

class FileHelpersTest : public ::testing::Test {
 protected:
  std::wstring W(const fs::path& path) const { return platform::WidePath(path); }
  TempHome home_;
};

TEST_F(FileHelpersTest, WholeFileRoundTripWithBinaryContent) {
  const fs::path file = home_.root() / fs::path(u8"模型 目录") / "data.bin";
  fs::create_directories(file.parent_path());
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<char>(i * 7));
  ASSERT_TRUE(WriteWholeFile(W(file), bytes));
  std::string read = "stale";
  ASSERT_TRUE(ReadWholeFile(W(file), read));
  EXPECT_EQ(read, bytes);
  ASSERT_TRUE(WriteWholeFile(W(file), "short"));  // truncates
  ASSERT_TRUE(ReadWholeFile(W(file), read));
  EXPECT_EQ(read, "short");
}

TEST_F(FileHelpersTest, WriteReplacesTheFileWholeAndPrivately) {
  const fs::path file = home_.root() / "config.json";
  std::ofstream(file) << "{\"settings\":{}}";
  SetMode(file, 0644);
  ASSERT_TRUE(WriteWholeFile(W(file), "{}"));
  EXPECT_EQ(ReadTextFile(file), "{}");
  EXPECT_EQ(ModeOf(file), 0600);
  EXPECT_FALSE(WriteWholeFile(W(home_.root() / "no folder" / "f"), "x"));
}

TEST_F(FileHelpersTest, EmptyWriteLeavesEmptyFileAndReportsFalse) {
  const fs::path file = home_.root() / "empty";
  EXPECT_FALSE(WriteWholeFile(W(file), ""));
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_FALSE(WriteWholeFile(W(home_.root() / "no" / "such" / "dir"), "x"));
}

TEST_F(FileHelpersTest, ReadFailsOnMissingFilesAndShortReads) {
  std::string read;
  EXPECT_FALSE(ReadWholeFile(W(home_.root() / "missing"), read));
  EXPECT_FALSE(ReadWholeFile(W(home_.root()), read));  // a folder is not a file
  // sysfs reports a page as the size and yields a few bytes: a short read
  // must fail rather than return a padded buffer.
  const fs::path shortFile = "/sys/class/net/lo/type";
  if (fs::exists(shortFile) && fs::file_size(shortFile) > 16) {
    read = "stale";
    EXPECT_FALSE(ReadWholeFile(W(shortFile), read));
    EXPECT_TRUE(read.empty());
  }
}

TEST_F(FileHelpersTest, ExistenceChecks) {
  const fs::path file = home_.root() / "file";
  std::ofstream(file) << "x";
  EXPECT_TRUE(FileExists(W(file)));
  EXPECT_FALSE(DirectoryExists(W(file)));
  EXPECT_TRUE(DirectoryExists(W(home_.root())));
  EXPECT_FALSE(FileExists(W(home_.root())));
  EXPECT_FALSE(FileExists(W(home_.root() / "missing")));
  EXPECT_FALSE(FileExists(W(file / "below-a-file")));
  EXPECT_FALSE(DirectoryExists(W(home_.root() / "missing")));
}

TEST_F(FileHelpersTest, CreateDirectoryTreeMakesEveryMissingParent) {
  const fs::path deep = home_.root() / fs::path(u8"AI 模型") / "it's; $(x)" / "ollama_models";
  EXPECT_TRUE(CreateDirectoryTree(W(deep)));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(ModeOf(deep), 0700);  // every folder made is private
  EXPECT_EQ(ModeOf(deep.parent_path()), 0700);
  EXPECT_TRUE(CreateDirectoryTree(W(deep) + L"/"));  // existing is fine
  std::ofstream(home_.root() / "blocker") << "x";
  EXPECT_FALSE(CreateDirectoryTree(W(home_.root() / "blocker" / "sub")));
  EXPECT_FALSE(CreateDirectoryTree(L""));
}

}  // namespace
