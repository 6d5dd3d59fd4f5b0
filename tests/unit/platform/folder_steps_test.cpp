#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Renames inside a folder reached by its handle, for files and folders,
// whether or not something stands at the new name. The process works in a
// different folder, so a name taken as relative to it would go astray.
TEST(FolderSteps, RenameInKeepsOrReplacesWhatStandsAtTheNewName) {
  using platform::RenameMode;
  const struct {
    const char* name;
    bool folder;        // what is renamed is a folder (else a file "new")
    bool targetThere;   // a file "old" stands at the new name
    RenameMode mode;
    int error;
    const char* after;  // contents at the new name afterwards
  } cases[] = {
      {"a file, no replace, free name", false, false, RenameMode::NoReplace, 0, "new"},
      {"a file, no replace, name taken", false, true, RenameMode::NoReplace, EEXIST, "old"},
      {"a file, replace, free name", false, false, RenameMode::Replace, 0, "new"},
      {"a file, replace, name taken", false, true, RenameMode::Replace, 0, "new"},
      {"a folder, no replace, free name", true, false, RenameMode::NoReplace, 0, nullptr},
      {"a folder, replace, free name", true, false, RenameMode::Replace, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    const fs::path dir = home.root() / "dir";
    fs::create_directories(dir);
    if (c.folder) {
      fs::create_directories(dir / "from" / "inside");
    } else {
      std::ofstream(dir / "from", std::ios::binary) << "new";
    }
    if (c.targetThere) std::ofstream(dir / "to", std::ios::binary) << "old";
    platform::FileHandle folder(platform::OpenFolder(dir));
    ASSERT_TRUE(folder.valid());

    EXPECT_EQ(platform::RenameIn(folder.get(), "from", "to", c.mode), c.error);
    EXPECT_EQ(fs::exists(dir / "from"), c.error != 0);
    if (c.folder) {
      EXPECT_TRUE(fs::is_directory(dir / "to" / "inside"));
    } else {
      EXPECT_EQ(Contents(dir / "to"), c.after);
    }
    // Nothing lands beside the folder, where the process works.
    EXPECT_FALSE(fs::exists(fs::current_path() / "to"));
    EXPECT_FALSE(fs::exists(home.root() / "to"));
  }
}

TEST(FolderSteps, RenameInOfAMissingNameFailsWithENOENT) {
  TempHome home;
  const fs::path dir = home.root() / "dir";
  fs::create_directories(dir);
  platform::FileHandle folder(platform::OpenFolder(dir));
  ASSERT_TRUE(folder.valid());
  for (const auto mode : {platform::RenameMode::NoReplace, platform::RenameMode::Replace}) {
    EXPECT_EQ(platform::RenameIn(folder.get(), "missing", "to", mode), ENOENT);
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
