#include <gtest/gtest.h>

#include <fstream>

#include <platform/atomic_file.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

std::size_t EntriesIn(const fs::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
  return count;
}

TEST(AtomicFile, ReplacesTheFileWholeAndPrivately) {
  TempHome home;
  const fs::path file = home.root() / "settings";
  std::ofstream(file) << "old content";
  SetMode(file, 0644);
  ASSERT_EQ(platform::WriteFileAtomically(file, "new"), 0);
  EXPECT_EQ(ReadTextFile(file), "new");
  EXPECT_EQ(ModeOf(file), 0600);
  EXPECT_EQ(EntriesIn(home.root()), 5u);  // the temporary is gone (plus TempHome's four)
  const fs::path fresh = home.root() / fs::path(u8"fresh 新");
  ASSERT_EQ(platform::WriteFileAtomically(fresh, ""), 0);
  EXPECT_EQ(ModeOf(fresh), 0600);
  EXPECT_EQ(fs::file_size(fresh), 0u);
}

TEST(AtomicFile, FailureLeavesNothingBehind) {
  TempHome home;
  EXPECT_EQ(platform::WriteFileAtomically(home.root() / "missing" / "f", "x"), ENOENT);
  const fs::path folder = home.root() / "folder";
  fs::create_directories(folder);
  EXPECT_NE(platform::WriteFileAtomically(folder, "x"), 0);  // a folder is not replaced
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(EntriesIn(home.root()), 5u);
}

TEST(PrivateFolders, NewFoldersAre0700AndExistingOnesKeepTheirRights) {
  TempHome home;
  const fs::path shared = home.root() / "shared";
  fs::create_directories(shared);
  SetMode(shared, 0755);
  ASSERT_EQ(platform::CreatePrivateFolders(shared / "a" / "b"), 0);
  EXPECT_EQ(ModeOf(shared), 0755);
  EXPECT_EQ(ModeOf(shared / "a"), 0700);
  EXPECT_EQ(ModeOf(shared / "a" / "b"), 0700);
  EXPECT_EQ(platform::CreatePrivateFolders(shared / "a" / "b"), 0);  // again: nothing to do

  std::ofstream(shared / "file") << "x";
  EXPECT_EQ(platform::CreatePrivateFolders(shared / "file"), ENOTDIR);
  EXPECT_NE(platform::CreatePrivateFolders(shared / "file" / "sub"), 0);
  EXPECT_NE(platform::CreatePrivateFolders(""), 0);

  // The program's own folder, left open by an earlier version, is closed.
  ASSERT_EQ(platform::CreateOwnPrivateFolder(shared), 0);
  EXPECT_EQ(ModeOf(shared), 0700);
}

}  // namespace
