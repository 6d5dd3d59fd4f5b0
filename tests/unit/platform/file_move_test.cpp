#include <gtest/gtest.h>

#include <fstream>

#include <platform/file_move.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(FileMove, MovesOnTheSameVolumeAndNeverReplaces) {
  TempHome home;
  const fs::path source = home.root() / "download.part";
  const fs::path target = home.root() / fs::path(u8"模型.zip");
  std::ofstream(source, std::ios::binary) << "package";
  ASSERT_EQ(platform::MoveFileNoReplace(source, target), platform::kSuccess);
  EXPECT_EQ(ReadTextFile(target), "package");
  EXPECT_FALSE(fs::exists(source));

  std::ofstream(source, std::ios::binary) << "newer";
  EXPECT_EQ(platform::MoveFileNoReplace(source, target), platform::kErrorAlreadyExists);
  EXPECT_EQ(ReadTextFile(target), "package");
  EXPECT_EQ(ReadTextFile(source), "newer");

  EXPECT_EQ(platform::MoveFileNoReplace(home.root() / "missing", home.root() / "x"),
            platform::kErrorFileNotFound);
  EXPECT_FALSE(fs::exists(home.root() / "x"));
}

}  // namespace
