#include <gtest/gtest.h>

#include <fstream>

#include <platform/tree_removal.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// Removal goes through handles only: whatever a link points at, inside or
// outside the tree, stays.
TEST(TreeRemoval, RemovesTheTreeAndNothingALinkPointsAt) {
  TempHome home;
  const fs::path outside = home.root() / "outside";
  fs::create_directories(outside / "deep");
  std::ofstream(outside / "deep" / "keep.txt") << "keep";
  const fs::path tree = home.root() / "tree";
  fs::create_directories(tree / "a" / "b");
  std::ofstream(tree / "a" / "b" / "file") << "x";
  std::ofstream(tree / "top") << "y";
  fs::create_directory_symlink(outside, tree / "a" / "to-outside");
  fs::create_symlink(outside / "deep" / "keep.txt", tree / "to-file");
  fs::create_directory_symlink(outside, home.root() / "tree-link");

  const struct {
    const char* name;
    fs::path path;
    bool removed;
  } cases[] = {
      {"a link standing for the tree: the link goes", home.root() / "tree-link", true},
      {"the tree with links inside", tree, true},
      {"nothing there", home.root() / "missing", true},
      {"below a missing folder", home.root() / "missing" / "x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::RemoveTree(c.path), c.removed);
    EXPECT_FALSE(fs::exists(fs::symlink_status(c.path)));
  }
  EXPECT_EQ(ReadTextFile(outside / "deep" / "keep.txt"), "keep");
}

TEST(TreeRemoval, AnEmptyFolderGoesAnythingElseStays) {
  TempHome home;
  const fs::path empty = home.root() / "empty";
  const fs::path full = home.root() / "full";
  fs::create_directories(empty);
  fs::create_directories(full);
  std::ofstream(full / "user-file") << "mine";
  fs::create_directory_symlink(full, home.root() / "link");
  fs::create_directories(home.root() / "empty-target");
  fs::create_directory_symlink(home.root() / "empty-target", home.root() / "link-to-empty");

  EXPECT_TRUE(platform::RemoveEmptyFolder(empty));
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_TRUE(platform::RemoveEmptyFolder(empty));  // gone already
  EXPECT_FALSE(platform::RemoveEmptyFolder(full));
  EXPECT_EQ(ReadTextFile(full / "user-file"), "mine");
  EXPECT_FALSE(platform::RemoveEmptyFolder(home.root() / "link-to-empty"));
  EXPECT_TRUE(fs::is_symlink(home.root() / "link-to-empty"));
  EXPECT_TRUE(fs::is_directory(home.root() / "empty-target"));
}

}  // namespace
