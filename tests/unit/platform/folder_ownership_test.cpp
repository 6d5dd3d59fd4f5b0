#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

fs::path Folder(const fs::path& path, int mode) {
  fs::create_directory(path);
  SetMode(path, mode);
  return path;
}

TEST(FolderOwnership, OurFolderIsAcceptedUnlessOthersMayWriteToIt) {
  TempHome home;
  const fs::path root = home.root();
  const fs::path ours = Folder(root / fs::path(u8"ours 安装"), 0700);
  const std::wstring separator(1, platform::PathSeparator());
  struct Case {
    const char* name;
    std::function<std::wstring()> make;
    bool accepted;
  };
  const Case cases[] = {
      {"ours, 0700", [&] { return platform::WidePath(ours); }, true},
      {"ours with a trailing separator", [&] { return platform::WidePath(ours) + separator; },
       true},
      {"ours, readable by all",
       [&] { return platform::WidePath(Folder(root / "shared-read", 0755)); }, true},
      {"writable by all", [&] { return platform::WidePath(Folder(root / "all", 0777)); }, false},
      {"a file",
       [&] {
         std::ofstream(root / "file") << "x";
         return platform::WidePath(root / "file");
       },
       false},
      {"missing", [&] { return platform::WidePath(root / "missing"); }, false},
      {"empty", [] { return std::wstring(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::IsFolderOurOwn(c.make()), c.accepted);
  }
}

}  // namespace
