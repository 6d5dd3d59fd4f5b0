// Archive layouts real tools write: comments that contain the end-record
// signature, Zip64 records, data in front of the archive, a central
// directory whose declared size is wrong.
#include <gtest/gtest.h>

#include <random>

#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace {

namespace fs = std::filesystem;

void Put32At(std::string& archive, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    archive[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

class ZipLayoutTest : public ::testing::Test {
 protected:
  ZipLayoutTest() : root_(home_.root() / "out") {}
  // Opens the archive and extracts every entry; the names and results.
  std::vector<std::pair<std::string, ZRESULT>> Unpack(const std::string& archive) {
    archive_ = archive;
    std::vector<std::pair<std::string, ZRESULT>> results;
    HZIP zip = ZipOpenMemory(archive_.data(), archive_.size(), nullptr, platform::WidePath(root_));
    if (zip == nullptr) return results;
    ZipEntry entry;
    ZipItemInfo(zip, -1, &entry);
    for (int i = 0; i < entry.index; ++i) {
      ZipEntry item;
      const ZRESULT info = ZipItemInfo(zip, i, &item);
      const ZRESULT r = info == ZR_OK ? ZipExtractItemToFile(zip, i, item.name) : info;
      results.emplace_back(platform::WideToOsNarrow(item.name), r);
    }
    ZipClose(zip);
    return results;
  }
  std::vector<ZipBuildEntry> Entries() const {
    ZipBuildEntry stored = FileEntry("deepseek/readme.txt", "read me");
    stored.deflate = false;
    return {DirectoryEntry("deepseek/"), stored, FileEntry("deepseek/OllamaSetup", big_)};
  }
  void ExpectUnpacked(const std::vector<std::pair<std::string, ZRESULT>>& results) {
    ASSERT_EQ(results.size(), 3u);
    for (const auto& [name, r] : results) EXPECT_EQ(r, ZR_OK) << name;
    EXPECT_EQ(ReadTextFile(root_ / "deepseek/readme.txt"), "read me");
    EXPECT_EQ(ReadTextFile(root_ / "deepseek/OllamaSetup"), big_);
  }

  TempHome home_;
  fs::path root_;
  std::string archive_;
  std::string big_ = Noise(100000, 1) + std::string(50000, 'x');
};

TEST_F(ZipLayoutTest, ACommentHoldingTheEndSignatureIsJustAComment) {
  // A comment that looks like an end record (pointing nowhere useful), as an
  // archive inside a comment or a careless tool leaves.
  std::string fake = "PK\x05\x06";
  fake += std::string(12, '\0');
  fake += std::string("\x10\x00\x00\x00\x00\x00", 6);
  ExpectUnpacked(Unpack(BuildZip(Entries(), "made by a tool " + fake + " end of comment")));
  fs::remove_all(root_);
  ExpectUnpacked(Unpack(BuildZip(Entries(), fake)));  // nothing after the fake
}

TEST_F(ZipLayoutTest, BytesAfterTheCommentAreTolerated) {
  ExpectUnpacked(Unpack(BuildZip(Entries(), "comment") + std::string(100, '\0')));
}

TEST_F(ZipLayoutTest, Zip64RecordsAndExtraFieldsAreRead) {
  const std::string archive = BuildZip(Entries(), "", true);
  ExpectUnpacked(Unpack(archive));
  HZIP zip = ZipOpenMemory(archive.data(), archive.size(), nullptr, platform::WidePath(root_));
  ASSERT_NE(zip, nullptr);
  ZipEntry entry;
  ASSERT_EQ(ZipItemInfo(zip, 2, &entry), ZR_OK);
  EXPECT_EQ(entry.uncompressedSize, big_.size());  // from the extra field, not 0xFFFFFFFF
  ZipClose(zip);
}

TEST_F(ZipLayoutTest, AZip64ExtraWithoutTheSaturatedValueIsCorrupt) {
  std::string archive = BuildZip({FileEntry("a", "alpha")}, "", true);
  // Shrink the central record's Zip64 block to the sizes only: the offset
  // it promises is missing.
  const std::size_t central = archive.find("PK\x01\x02");
  const std::size_t block = central + 46 + 1;
  ASSERT_EQ(archive[block], '\x01');
  archive[block + 2] = 16;
  HZIP zip = ZipOpenMemory(archive.data(), archive.size(), nullptr, platform::WidePath(root_));
  ASSERT_NE(zip, nullptr);
  ZipEntry entry;
  EXPECT_EQ(ZipItemInfo(zip, 0, &entry), ZR_CORRUPT);
  ZipClose(zip);
}

TEST_F(ZipLayoutTest, DataInFrontOfTheArchiveIsSkipped) {
  const std::string stub =
      "\x7f"
      "ELF a self-extracting program's code" +
      Noise(5000, 2);
  ExpectUnpacked(Unpack(stub + BuildZip(Entries())));
  fs::remove_all(root_);
  ExpectUnpacked(Unpack(stub + BuildZip(Entries(), "with a comment", true)));
}

TEST_F(ZipLayoutTest, AWrongCentralDirectorySizeLosesNoEntry) {
  for (const std::uint32_t declared : {46u, 0u, 100000u}) {
    SCOPED_TRACE(declared);
    std::string archive = BuildZip(Entries());
    Put32At(archive, archive.size() - 22 + 12, declared);
    fs::remove_all(root_);
    const auto results = Unpack(archive);
    if (declared == 100000u) {
      EXPECT_TRUE(results.empty());  // larger than the file allows: refused
    } else {
      ExpectUnpacked(results);
    }
  }
}

TEST_F(ZipLayoutTest, ACountTheDirectoryCannotHoldIsRefused) {
  std::string archive = BuildZip({FileEntry("a", "1")});
  archive[archive.size() - 22 + 8] = static_cast<char>(0xFF);
  archive[archive.size() - 22 + 10] = static_cast<char>(0xFF);
  EXPECT_EQ(ZipOpenMemory(archive.data(), archive.size(), nullptr), nullptr);
  EXPECT_EQ(ZipLastResult(), ZR_CORRUPT);
}

}  // namespace
