// The tutorial archive's writer, read back by the program's own zip reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <package/package_extract.h>
#include <package/zip_reader.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <zip_writer.h>

namespace {

namespace fs = std::filesystem;

std::uint16_t Field16(const std::string& zip, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(zip[at]) |
                                    (static_cast<unsigned char>(zip[at + 1]) << 8));
}

std::string RandomBytes(std::size_t size) {
  std::mt19937 generator(7);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xffu);
  return bytes;
}

const ZipTimestamp kTime = MakeZipTimestamp(2025, 2, 14, 9, 30, 42);

class ZipWriterTest : public ::testing::Test {
 protected:
  TempHome home_;
};

TEST_F(ZipWriterTest, EveryKindOfContentReadsBackIntact) {
  const std::string text(20000, 'x');
  const std::string noise = RandomBytes(5000);
  const std::string guide = "%PDF-1.4 安装教程";
  const std::vector<ZipFileToWrite> files = {{"安装教程(必读).pdf", guide, 0600},
                                             {"docs/words.txt", text, 0644},
                                             {"docs/noise.bin", noise, 0600},
                                             {"empty", "", 0600}};
  const std::optional<std::string> zip = WriteZip(files, kTime);
  ASSERT_TRUE(zip.has_value());
  const fs::path archive = home_.root() / "out.zip";
  ASSERT_EQ(platform::WriteFileAtomically(archive, *zip), 0);

  const fs::path target = home_.root() / "unpacked";
  ExtractArchive(platform::WidePath(archive), platform::WidePath(target), nullptr);
  EXPECT_EQ(ReadTextFile(target / "安装教程(必读).pdf"), guide);
  EXPECT_EQ(ReadTextFile(target / "docs/words.txt"), text);
  EXPECT_EQ(ReadTextFile(target / "docs/noise.bin"), noise);
  EXPECT_TRUE(fs::is_regular_file(target / "empty"));
  EXPECT_EQ(fs::file_size(target / "empty"), 0u);
  // The permissions travel with the entries (the guide stays private).
  EXPECT_EQ(ModeOf(target / "安装教程(必读).pdf"), 0600);
  EXPECT_EQ(ModeOf(target / "docs/words.txt"), 0644);
}

TEST_F(ZipWriterTest, NamesAreFlaggedUtf8AndIncompressibleDataIsStored) {
  const std::string noise = RandomBytes(4096);
  const std::vector<ZipFileToWrite> files = {{"说明.txt", std::string(3000, 'a')},
                                             {"noise.bin", noise}};
  const std::optional<std::string> zip = WriteZip(files, kTime);
  ASSERT_TRUE(zip.has_value());

  HZIP reader = ZipOpenMemory(zip->data(), zip->size(), nullptr);
  ASSERT_NE(reader, nullptr);
  ZipEntry entry;
  ASSERT_EQ(ZipItemInfo(reader, -1, &entry), ZR_OK);
  EXPECT_EQ(entry.index, 2);
  ASSERT_EQ(ZipItemInfo(reader, 0, &entry), ZR_OK);
  EXPECT_EQ(entry.name, L"说明.txt");
  EXPECT_LT(entry.compressedSize, 100u);  // deflated
  ASSERT_EQ(ZipItemInfo(reader, 1, &entry), ZR_OK);
  EXPECT_EQ(entry.compressedSize, noise.size());  // stored: deflate would grow it
  ZipClose(reader);

  // Local header of the first entry: flags, method, time and date fields.
  EXPECT_EQ(Field16(*zip, 6) & 0x0800, 0x0800);
  EXPECT_EQ(Field16(*zip, 8), 8);
  EXPECT_EQ(Field16(*zip, 10), kTime.time);
  EXPECT_EQ(Field16(*zip, 12), kTime.date);
  // Every central record carries the flag too, and says Unix made it.
  std::size_t found = 0;
  for (std::size_t at = zip->find("PK\x01\x02"); at != std::string::npos;
       at = zip->find("PK\x01\x02", at + 4)) {
    EXPECT_EQ(Field16(*zip, at + 4) >> 8, 3);
    EXPECT_EQ(Field16(*zip, at + 8) & 0x0800, 0x0800);
    ++found;
  }
  EXPECT_EQ(found, 2u);
}

TEST_F(ZipWriterTest, SameInputGivesTheSameBytes) {
  const std::vector<ZipFileToWrite> files = {{"a.txt", "same"}, {"b/c.txt", RandomBytes(300)}};
  EXPECT_EQ(WriteZip(files, kTime), WriteZip(files, kTime));
  EXPECT_NE(WriteZip(files, kTime), WriteZip(files, MakeZipTimestamp(2025, 2, 15, 9, 30, 42)));
}

TEST_F(ZipWriterTest, TimestampUsesTheDosLayout) {
  const ZipTimestamp time = MakeZipTimestamp(2025, 2, 14, 23, 59, 58);
  EXPECT_EQ(time.date, (45 << 9) | (2 << 5) | 14);
  EXPECT_EQ(time.time, (23 << 11) | (59 << 5) | 29);
}

TEST_F(ZipWriterTest, NamesAReaderWouldMisplaceAreRefused) {
  for (const char* name : {"", "/etc/passwd", "../up", "a/../../up", "a/./b", "a//b", "dir/",
                           "a\\b", "c:evil", "tab\there", "del\x7f"}) {
    EXPECT_FALSE(IsSafeZipEntryName(name)) << name;
    EXPECT_FALSE(WriteZip({{name, "data"}}, kTime).has_value()) << name;
  }
  for (const char* name : {"安装教程(必读).pdf", "docs/guide v2.pdf", "..hidden", "a.b/c"}) {
    EXPECT_TRUE(IsSafeZipEntryName(name)) << name;
  }
  EXPECT_FALSE(IsSafeZipEntryName(std::string(70000, 'n')));
}

TEST_F(ZipWriterTest, AnEmptyArchiveIsJustTheEndRecord) {
  const std::optional<std::string> zip = WriteZip({}, kTime);
  ASSERT_TRUE(zip.has_value());
  EXPECT_EQ(zip->size(), 22u);
  EXPECT_EQ(zip->substr(0, 4), "PK\x05\x06");
}

}  // namespace
