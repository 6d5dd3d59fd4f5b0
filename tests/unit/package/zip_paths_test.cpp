// Where entries land: links planted in the root are never followed, names
// too long for the limit are refused, and names in the encodings zip tools
// really use come out as the text they were.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

#include "package_links.h"

namespace {

namespace fs = std::filesystem;

class ZipPathsTest : public ::testing::Test {
 protected:
  ZipPathsTest() : root_(home_.root() / "out"), elsewhere_(home_.root() / "elsewhere") {
    fs::create_directories(root_);
    fs::create_directories(elsewhere_);
    std::ofstream(elsewhere_ / "keep.txt") << "must stay";
  }
  std::vector<ZRESULT> Unpack(const std::string& archive) {
    archive_ = archive;
    std::vector<ZRESULT> results;
    HZIP zip = ZipOpenMemory(archive_.data(), archive_.size(), nullptr, platform::WidePath(root_));
    if (zip == nullptr) return results;
    ZipEntry entry;
    ZipItemInfo(zip, -1, &entry);
    for (int i = 0; i < entry.index; ++i) {
      ZipEntry item;
      const ZRESULT info = ZipItemInfo(zip, i, &item);
      results.push_back(info == ZR_OK ? ZipExtractItemToFile(zip, i, item.name) : info);
    }
    ZipClose(zip);
    return results;
  }
  std::wstring NameOf(const std::string& archive, int index) {
    archive_ = archive;
    HZIP zip = ZipOpenMemory(archive_.data(), archive_.size(), nullptr, platform::WidePath(root_));
    ZipEntry entry;
    EXPECT_EQ(ZipItemInfo(zip, index, &entry), ZR_OK);
    ZipClose(zip);
    return entry.name;
  }
  std::set<std::string> Elsewhere() const {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(elsewhere_))
      names.insert(entry.path().filename().string());
    return names;
  }
  // False when this system makes no folder links: the case then skips.
  bool PlantLink() { return PlantFolderLink(root_ / "link", elsewhere_); }
  void ExpectElsewhereUntouched() {
    EXPECT_EQ(Elsewhere(), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(ReadTextFile(elsewhere_ / "keep.txt"), "must stay");
  }

  TempHome home_;
  fs::path root_;
  fs::path elsewhere_;
  std::string archive_;
};

TEST_F(ZipPathsTest, AFileBelowAPlantedFolderLinkLandsInARealFolder) {
  if (!PlantLink()) GTEST_SKIP() << "no folder links here";
  EXPECT_EQ(Unpack(BuildZip({FileEntry("link/x.txt", "x")})), std::vector<ZRESULT>{ZR_OK});
  ExpectElsewhereUntouched();
  EXPECT_FALSE(IsLink(root_ / "link"));
  EXPECT_EQ(ReadTextFile(root_ / "link/x.txt"), "x");
}

TEST_F(ZipPathsTest, AFileListedBeforeItsFolderEntryDoesNotFollowTheLink) {
  if (!PlantLink()) GTEST_SKIP() << "no folder links here";
  EXPECT_EQ(Unpack(BuildZip({FileEntry("link/deep/x.txt", "x"), DirectoryEntry("link/")})),
            (std::vector<ZRESULT>{ZR_OK, ZR_OK}));
  ExpectElsewhereUntouched();
  EXPECT_EQ(ReadTextFile(root_ / "link/deep/x.txt"), "x");
}

TEST_F(ZipPathsTest, AFolderEntryBelowALinkIsMadeInsideTheRoot) {
  if (!PlantLink()) GTEST_SKIP() << "no folder links here";
  fs::create_directories(root_ / "real");
  ASSERT_TRUE(PlantFolderLink(root_ / "real" / "inner", elsewhere_));
  EXPECT_EQ(Unpack(BuildZip({DirectoryEntry("link/sub/"), DirectoryEntry("real/inner/sub/")})),
            (std::vector<ZRESULT>{ZR_OK, ZR_OK}));
  ExpectElsewhereUntouched();
  for (const fs::path& made : {root_ / "link" / "sub", root_ / "real" / "inner" / "sub"}) {
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_FALSE(IsLink(made));
  }
  EXPECT_FALSE(IsLink(root_ / "link"));
  EXPECT_FALSE(IsLink(root_ / "real" / "inner"));
}

TEST_F(ZipPathsTest, AFileStandingWhereAFolderShouldBeRefusesTheEntry) {
  std::ofstream(root_ / "plain") << "a file";
  EXPECT_EQ(Unpack(BuildZip({FileEntry("plain/x.txt", "x")})), std::vector<ZRESULT>{ZR_NOFILE});
  EXPECT_EQ(ReadTextFile(root_ / "plain"), "a file");
}

TEST_F(ZipPathsTest, NamesPastTheLimitAreRefusedNotCut) {
  const std::string deep = "a/" + std::string(300, 'b') + "/deep.txt";
  const std::string fits = std::string(250, 'c') + "/x.txt";  // 256 units: within 259
  // The limit counts characters (UTF-16 units), not bytes: 483 bytes of
  // UTF-8 are 163 units. (A file system step takes at most 255 bytes.)
  std::string step;
  for (int i = 0; i < 80; ++i) step += "中";
  const std::string wide = step + "/" + step;
  const std::vector<ZRESULT> results =
      Unpack(BuildZip({FileEntry(deep, "1"), FileEntry(fits, "2"), FileEntry("f/" + wide, "3")}));
  EXPECT_EQ(results, (std::vector<ZRESULT>{ZR_NOFILE, ZR_OK, ZR_OK}));
  EXPECT_FALSE(fs::exists(root_ / "a"));  // no cut name left behind
  EXPECT_EQ(ReadTextFile(root_ / fits), "2");
  EXPECT_EQ(ReadTextFile(root_ / "f" / fs::path(std::u8string(wide.begin(), wide.end()))), "3");
}

TEST_F(ZipPathsTest, UnflaggedNamesAreUtf8ThenGb18030ThenCp437) {
  const std::string gbk = "\xD6\xD0\xCE\xC4/\xCB\xB5\xC3\xF7.txt";  // 中文/说明.txt in GBK
  const std::string cp437 = "caf\x82 \x81";                         // café ü in CP437
  const std::string archive =
      BuildZip({FileEntry("中文/utf8.txt", "u"), FileEntry(gbk, "g"), FileEntry(cp437, "c")});
  EXPECT_EQ(NameOf(archive, 0), L"中文/utf8.txt");
  EXPECT_EQ(NameOf(archive, 1), L"中文/说明.txt");
  EXPECT_EQ(NameOf(archive, 2), L"caf\u00e9 \u00fc");
  EXPECT_EQ(Unpack(archive), (std::vector<ZRESULT>(3, ZR_OK)));
  EXPECT_EQ(ReadTextFile(root_ / fs::path(u8"中文/说明.txt")), "g");
}

}  // namespace
