// Links inside a tree on Windows: junctions, which any user may make, and
// symbolic links. Each is removed itself; what it points at stays.
#include <gtest/gtest.h>
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <fstream>
#include <functional>

#include <platform/tree_removal.h>
#include <tests/support/links_win32.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

struct LinkKind {
  const char* name;
  std::function<bool(const fs::path& link, const fs::path& target)> make;
  bool toFolder;
};

const LinkKind kLinkKinds[] = {
    {"junction", MakeJunction, true},
    {"folder symlink", [](const fs::path& l, const fs::path& t) { return MakeSymlink(l, t, true); },
     true},
    {"file symlink", [](const fs::path& l, const fs::path& t) { return MakeSymlink(l, t, false); },
     false},
};

TEST(TreeRemovalOnWindows, ALinkInsideIsRemovedItselfItsTargetKept) {
  for (const LinkKind& kind : kLinkKinds) {
    SCOPED_TRACE(kind.name);
    TempHome home;
    const fs::path outside = home.root() / "outside";
    fs::create_directories(outside / "deep");
    std::ofstream(outside / "deep" / "keep.txt") << "keep";
    const fs::path target = kind.toFolder ? outside : outside / "deep" / "keep.txt";
    const fs::path tree = home.root() / "tree";
    fs::create_directories(tree / "a");
    std::ofstream(tree / "a" / "file") << "x";
    if (!kind.make(tree / "a" / "link", target)) {
      std::printf("skipped: %s refused here\n", kind.name);
      continue;
    }
    EXPECT_TRUE(platform::RemoveTree(tree));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
    EXPECT_EQ(ReadTextFile(outside / "deep" / "keep.txt"), "keep");

    // A link standing for the whole tree goes, its target stays.
    ASSERT_TRUE(kind.make(home.root() / "tree-link", target));
    EXPECT_TRUE(platform::RemoveTree(home.root() / "tree-link"));
    EXPECT_FALSE(IsLinkItself(home.root() / "tree-link"));
    EXPECT_EQ(ReadTextFile(outside / "deep" / "keep.txt"), "keep");
  }
}

TEST(TreeRemovalOnWindows, AJunctionToAnEmptyFolderIsNoEmptyFolder) {
  TempHome home;
  fs::create_directories(home.root() / "empty-target");
  if (!MakeJunction(home.root() / "junction", home.root() / "empty-target")) {
    GTEST_SKIP() << "junctions refused here";
  }
  EXPECT_FALSE(platform::RemoveEmptyFolder(home.root() / "junction"));
  EXPECT_TRUE(IsLinkItself(home.root() / "junction"));
  EXPECT_TRUE(fs::is_directory(home.root() / "empty-target"));
}

TEST(TreeRemovalOnWindows, ByDescriptorOfTheFolderAbove) {
  TempHome home;
  const fs::path tree = home.root() / u8"树";
  fs::create_directories(tree / "sub");
  std::ofstream(tree / "sub" / "file") << "x";
  HANDLE folder = ::CreateFileW(home.root().c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(folder), _O_RDONLY);
  ASSERT_GE(descriptor, 0);
  EXPECT_FALSE(platform::RemoveTreeIn(descriptor, "..\\config"));  // one name, never a path
  EXPECT_TRUE(fs::is_directory(home.root() / "config"));
  EXPECT_TRUE(platform::RemoveTreeIn(descriptor, "\xe6\xa0\x91"));  // the name in UTF-8
  EXPECT_FALSE(fs::exists(tree));
  ::_close(descriptor);
}

}  // namespace
