// Windows' own ways into an extraction tree: names the file system reads
// as more than one step, and links (junctions, symbolic links) planted in
// the tree.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include <package/download_folder.h>
#include <package/path_beneath.h>
#include <package/zip_names.h>
#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace fs = std::filesystem;

namespace {

class PathBeneathWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_);
    fs::create_directories(elsewhere_);
    std::ofstream(elsewhere_ / "keep.txt") << "must stay";
    rootFolder_.reset(platform::OpenFolder(root_));
    ASSERT_TRUE(rootFolder_.valid());
  }

  // A directory link from root/name to elsewhere; false when this system
  // cannot make one (no privilege, or a system without reparse points).
  bool PlantFolderLink(const std::string& name) {
    const fs::path link = root_ / name;
    if (!CreateSymbolicLinkW(link.c_str(), elsewhere_.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY |
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
      return false;
    }
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }

  TempHome home_;
  fs::path root_ = home_.root() / "root";
  fs::path elsewhere_ = home_.root() / "elsewhere";
  platform::FileHandle rootFolder_;
};

TEST_F(PathBeneathWin32Test, NamesThatAreMoreThanOneStepHereAreRefused) {
  struct Case {
    const char* name;
  } cases[] = {{"a\\b"}, {"..\\elsewhere"}, {"c:x"}, {"file.txt:stream"}, {"what?"}, {"a|b"},
               {"..."}, {"dotted."}, {"blank "}, {"CON"}, {"nul.txt"}, {"aux .tar.gz"},
               {"com1"}, {"LPT9.log"}, {"lpt0"}, {"COM\u00B9"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::FileHandle file(CreateFileIn(rootFolder_.get(), c.name, 0644));
    EXPECT_FALSE(file.valid());
    platform::FileHandle folder(OpenFolderBeneath(rootFolder_.get(), c.name));
    EXPECT_FALSE(folder.valid());
  }
  EXPECT_TRUE(fs::is_empty(root_));
  EXPECT_EQ(ReadTextFile(elsewhere_ / "keep.txt"), "must stay");
}

TEST_F(PathBeneathWin32Test, NamesThatOnlyBeginLikeADeviceAreFiles) {
  for (const char* name : {"console.txt", "com10", "nullable", "auxiliary.cfg", "coM"}) {
    SCOPED_TRACE(name);
    platform::FileHandle file(CreateFileIn(rootFolder_.get(), name, 0644));
    EXPECT_TRUE(file.valid());
  }
}

TEST_F(PathBeneathWin32Test, FilesAndFoldersAreMadeStepByStep) {
  platform::FileHandle folder(OpenFolderBeneath(rootFolder_.get(), "a/b/c"));
  ASSERT_TRUE(folder.valid());
  platform::FileHandle file(CreateFileIn(folder.get(), "x.txt", 0644));
  ASSERT_TRUE(file.valid());
  EXPECT_EQ(platform::WriteSome(file.get(), "x", 1), 1);
  file.reset();
  EXPECT_EQ(ReadTextFile(root_ / "a/b/c/x.txt"), "x");
  // A file in a folder's place stays and the way is refused.
  EXPECT_FALSE(platform::FileHandle(OpenFolderBeneath(rootFolder_.get(), "a/b/c/x.txt")).valid());
  folder.reset();
  EXPECT_TRUE(RemoveBeneath(rootFolder_.get(), "a"));
  EXPECT_FALSE(fs::exists(root_ / "a"));
}

TEST_F(PathBeneathWin32Test, ALinkPlantedAsAFolderIsReplacedNotFollowed) {
  if (!PlantFolderLink("link")) GTEST_SKIP() << "no directory links on this system";
  platform::FileHandle folder(OpenFolderBeneath(rootFolder_.get(), "link/deep"));
  ASSERT_TRUE(folder.valid());
  platform::FileHandle file(CreateFileIn(folder.get(), "x.txt", 0644));
  ASSERT_TRUE(file.valid());
  file.reset();
  folder.reset();
  EXPECT_FALSE(fs::exists(elsewhere_ / "deep"));
  EXPECT_TRUE(fs::is_regular_file(root_ / "link/deep/x.txt"));
  EXPECT_EQ(ReadTextFile(elsewhere_ / "keep.txt"), "must stay");
}

TEST_F(PathBeneathWin32Test, RemovingATreeRemovesALinkInsideItselfOnly) {
  fs::create_directories(root_ / "tree");
  if (!PlantFolderLink("tree/link")) GTEST_SKIP() << "no directory links on this system";
  EXPECT_TRUE(RemoveBeneath(rootFolder_.get(), "tree"));
  EXPECT_FALSE(fs::exists(root_ / "tree"));
  EXPECT_EQ(ReadTextFile(elsewhere_ / "keep.txt"), "must stay");
}

TEST_F(PathBeneathWin32Test, APartialFileInUseIsNotTakenAsStale) {
  const std::string folder = platform::WideToOsNarrow(platform::WidePath(home_.root()));
  std::string path;
  platform::FileHandle partial(CreatePartialFile(folder, &path));
  ASSERT_TRUE(partial.valid());
  EXPECT_EQ(RemoveStalePartials(folder), 0);
  EXPECT_TRUE(fs::exists(platform::OsPath(platform::OsNarrowToWide(path))));
  partial.reset();
  EXPECT_EQ(RemoveStalePartials(folder), 1);
  EXPECT_FALSE(fs::exists(platform::OsPath(platform::OsNarrowToWide(path))));
}

TEST(ZipNamesWin32Test, LegacyNamesDecodeWithTheSystemsCodePages) {
  struct Case {
    std::string raw;
    std::wstring name;
  } cases[] = {
      {"\xd6\xd0\xce\xc4.txt", L"\u4e2d\u6587.txt"},  // GB18030 (and code page 936)
      {"caf\x82", L"caf\u00e9"},                       // CP437: not clean GB18030
      {"plain", L"plain"},
  };
  ZipNameDecoder decoder;
  for (const Case& c : cases) EXPECT_EQ(decoder.Decode(c.raw), c.name) << c.raw;
}

}  // namespace
