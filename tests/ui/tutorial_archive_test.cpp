// The guide built into the program: what the tutorial click will unpack,
// and its placement in the work folder at start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <catalogue/tutorial_guide.h>
#include <package/package_extract.h>
#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <ui/tutorial_archive.h>

namespace {

namespace fs = std::filesystem;

// Page objects, not the page tree ("/Type /Pages").
int CountPages(const std::string& pdf) {
  int pages = 0;
  const std::string key = "/Type /Page";
  for (std::size_t at = pdf.find(key); at != std::string::npos; at = pdf.find(key, at + 1)) {
    if (at + key.size() >= pdf.size() || pdf[at + key.size()] != 's') ++pages;
  }
  return pages;
}

std::string Bytes(const QByteArray& data) {
  return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

class TutorialArchiveTest : public ::testing::Test {
 protected:
  TutorialArchiveTest() { fs::create_directories(work_); }
  std::wstring WorkFolder() const { return platform::WidePath(work_) + L"/"; }
  fs::path Archive() const { return work_ / "JEBMWKX6V.zip"; }

  TempHome home_;
  fs::path work_ = home_.data() / "Tidewell";
};

TEST_F(TutorialArchiveTest, BuiltInArchiveUnpacksToTheGuidesTheClickOpens) {
  ASSERT_TRUE(PlaceTutorialArchive(WorkFolder()));
  // As the tutorial click does it: beside the archive, into a folder named like it.
  ExtractPackage(platform::WidePath(Archive()));
  std::string pdfs[2];
  const char* const names[] = {kTutorialGuideChinese, kTutorialGuideEnglish};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(names[i]);
    const fs::path guide = work_ / "JEBMWKX6V" / fs::u8path(names[i]);
    ASSERT_TRUE(fs::is_regular_file(guide));
    pdfs[i] = ReadTextFile(guide);
    EXPECT_EQ(pdfs[i].substr(0, 5), "%PDF-");
    EXPECT_NE(pdfs[i].rfind("%%EOF"), std::string::npos);
    EXPECT_GE(CountPages(pdfs[i]), 4);
    EXPECT_EQ(ModeOf(guide), 0600);
  }
  EXPECT_NE(pdfs[0], pdfs[1]);
  // The only things unpacked are the two guides.
  EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "JEBMWKX6V"), fs::directory_iterator()),
            2);
}

TEST_F(TutorialArchiveTest, BuiltInArchiveHasTheTwoGuidesUnderUtf8Names) {
  const std::string zip = Bytes(BuiltInTutorialArchive());
  ASSERT_GT(zip.size(), 30u);
  EXPECT_EQ(zip.substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(static_cast<unsigned char>(zip[7]) & 0x08, 0x08);  // bit 11 of the flags
  HZIP reader = ZipOpenMemory(zip.data(), zip.size(), nullptr);
  ASSERT_NE(reader, nullptr);
  ZipEntry entry;
  ASSERT_EQ(ZipItemInfo(reader, -1, &entry), ZR_OK);
  EXPECT_EQ(entry.index, 2);
  ASSERT_EQ(ZipItemInfo(reader, 0, &entry), ZR_OK);
  EXPECT_EQ(entry.name, L"安装教程(必读).pdf");
  ASSERT_EQ(ZipItemInfo(reader, 1, &entry), ZR_OK);
  EXPECT_EQ(entry.name, L"Installation guide (read first).pdf");
  ZipClose(reader);
}

TEST_F(TutorialArchiveTest, MissingArchiveIsWrittenPrivatelyAndWhole) {
  ASSERT_FALSE(fs::exists(Archive()));
  EXPECT_TRUE(PlaceTutorialArchive(WorkFolder()));
  EXPECT_EQ(ReadTextFile(Archive()), Bytes(BuiltInTutorialArchive()));
  EXPECT_EQ(ModeOf(Archive()), 0600);
  // Nothing but the archive: no temporary file left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(work_), fs::directory_iterator()), 1);
}

TEST_F(TutorialArchiveTest, AnArchiveAlreadyThereIsKept) {
  std::ofstream(Archive(), std::ios::binary) << "placed by an installer";
  EXPECT_TRUE(PlaceTutorialArchive(WorkFolder()));
  EXPECT_EQ(ReadTextFile(Archive()), "placed by an installer");
}

TEST_F(TutorialArchiveTest, ALinkAtTheNameIsNeitherFollowedNorReplaced) {
  const fs::path elsewhere = home_.root() / "elsewhere.txt";
  std::ofstream(elsewhere) << "not ours";
  fs::create_symlink(elsewhere, Archive());
  EXPECT_TRUE(PlaceTutorialArchive(WorkFolder()));
  EXPECT_TRUE(fs::is_symlink(Archive()));
  EXPECT_EQ(ReadTextFile(elsewhere), "not ours");

  // A dangling link is left alone as well: nothing is created where it points.
  fs::remove(Archive());
  fs::create_symlink(home_.root() / "planted.zip", Archive());
  PlaceTutorialArchive(WorkFolder());
  EXPECT_FALSE(fs::exists(home_.root() / "planted.zip"));
}

TEST_F(TutorialArchiveTest, NoFolderMeansNothingIsWritten) {
  EXPECT_FALSE(PlaceTutorialArchive(L""));
  const fs::path missing = home_.root() / "missing";
  EXPECT_FALSE(PlaceTutorialArchive(platform::WidePath(missing) + L"/"));
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
