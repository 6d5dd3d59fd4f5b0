#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

fs::path Folder(const fs::path& path, fs::perms mode) {
  fs::create_directory(path);
  fs::permissions(path, mode, fs::perm_options::replace);
  return path;
}

TEST(FolderOwnership, GroupStickyLinksAndOtherUsersAreRefused) {
  TempHome home;
  const fs::path root = home.root();
  const fs::path ours = Folder(root / "ours 安装", fs::perms::owner_all);
  struct Case {
    const char* name;
    std::function<std::string()> make;
    bool accepted;
  };
  const Case cases[] = {
      {"writable by the group", [&] { return Folder(root / "group", fs::perms(0775)).string(); },
       false},
      {"sticky and writable by all",
       [&] { return Folder(root / "sticky", fs::perms(01777)).string(); }, false},
      {"a link to our folder",
       [&] {
         fs::create_directory_symlink(ours, root / "link");
         return (root / "link").string();
       },
       false},
      {"a link to our folder, trailing slash", [&] { return (root / "link").string() + "/"; },
       false},
      {"another user's folder",
       [&]() -> std::string {
         // As root, hand a folder to nobody; otherwise the root folder is
         // already someone else's.
         if (::geteuid() != 0) return "/";
         const fs::path theirs = Folder(root / "theirs", fs::perms(0700));
         EXPECT_EQ(::chown(theirs.c_str(), kNobody, kNobody), 0);
         return theirs.string();
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::IsFolderOurOwn(platform::OsNarrowToWide(c.make())), c.accepted);
  }
}

}  // namespace
