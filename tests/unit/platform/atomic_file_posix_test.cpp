// What only POSIX file systems show: a reader keeps the file it opened
// while the name moves on, and symbolic links are free for anyone to make.
#include <gtest/gtest.h>

#include <fstream>

#include <platform/atomic_file.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, AReaderOfTheOldFileKeepsReadingIt) {
  TempHome home;
  const fs::path file = home.root() / "settings";
  std::ofstream(file) << "old content";
  std::ifstream reader(file);  // a reader that opened the old file
  ASSERT_EQ(platform::WriteFileAtomically(file, "new"), 0);
  EXPECT_EQ(ReadTextFile(file), "new");
  // The old file was replaced, not truncated under the reader.
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "old content");
}

TEST(AtomicFile, PlantedLinkIsReplacedNotFollowed) {
  TempHome home;
  const fs::path victim = home.root() / "victim";
  std::ofstream(victim) << "keep";
  const fs::path file = home.root() / "settings";
  fs::create_symlink(victim, file);
  ASSERT_EQ(platform::WriteFileAtomically(file, "new"), 0);
  EXPECT_EQ(ReadTextFile(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(file));
  EXPECT_EQ(ReadTextFile(file), "new");
}

}  // namespace
