#include <gtest/gtest.h>

#include <fstream>

#include <platform/tree_removal.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(TreeRemoval, RemovesTheTreeWithEverythingInside) {
  TempHome home;
  const fs::path tree = home.root() / "tree";
  fs::create_directories(tree / "a" / "b" / "c");
  std::ofstream(tree / "a" / "b" / "file") << "x";
  std::ofstream(tree / "top") << "y";
  std::ofstream(tree / "a" / "read-only") << "z";
  fs::permissions(tree / "a" / "read-only", fs::perms::owner_read, fs::perm_options::replace);
  std::ofstream(home.root() / "beside") << "stays";

  const struct {
    const char* name;
    fs::path path;
    bool removed;
  } cases[] = {
      {"the tree, a read-only file inside", tree, true},
      {"a single file", home.root() / "beside", true},
      {"nothing there", home.root() / "missing", true},
      {"below a missing folder", home.root() / "missing" / "x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::RemoveTree(c.path), c.removed);
    EXPECT_FALSE(fs::exists(fs::symlink_status(c.path)));
  }
  EXPECT_FALSE(platform::RemoveTree(""));
  EXPECT_TRUE(fs::is_directory(home.root() / "config"));  // nothing beside was touched
}

TEST(TreeRemoval, OnlyAnEmptyFolderGoesAsEmpty) {
  TempHome home;
  const fs::path empty = home.root() / "empty";
  const fs::path full = home.root() / "full";
  fs::create_directories(empty);
  fs::create_directories(full);
  std::ofstream(full / "user-file") << "mine";
  std::ofstream(home.root() / "file") << "a file";

  EXPECT_TRUE(platform::RemoveEmptyFolder(empty));
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_TRUE(platform::RemoveEmptyFolder(empty));  // gone already
  EXPECT_FALSE(platform::RemoveEmptyFolder(full));
  EXPECT_EQ(ReadTextFile(full / "user-file"), "mine");
  EXPECT_FALSE(platform::RemoveEmptyFolder(home.root() / "file"));
  EXPECT_EQ(ReadTextFile(home.root() / "file"), "a file");
}

}  // namespace
