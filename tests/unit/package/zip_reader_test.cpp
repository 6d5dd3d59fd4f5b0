// The reader on every system: entries round trip, hostile names stay inside
// the root, encrypted, damaged and broken archives, the extraction targets.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>

#include <platform/file_handle.h>
#include <platform/folder_steps.h>

#include "package_links.h"
#include "zip_reader_fixture.h"

namespace {

using namespace zip_reader_test;

// The file's write time in seconds since 1970.
long long UnixWriteTime(const fs::path& path) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count();
}

TEST_F(ZipReaderTest, StoredDeflatedAndNestedEntriesRoundTrip) {
  const std::string big = Noise(300000, 1) + std::string(200000, 'z');
  ZipBuildEntry stored = FileEntry("deepseek/readme.txt", "说明 text");
  stored.deflate = false;
  HZIP zip = Open(BuildZip({DirectoryEntry("deepseek/"), stored,
                            FileEntry("deepseek/deepseek/OllamaSetup", big),
                            FileEntry("models/sub/a.bin", "a"), FileEntry("empty", "")}));
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(ExtractAll(zip), std::vector<ZRESULT>(5, ZR_OK));
  EXPECT_EQ(ReadTextFile(root_ / "deepseek/readme.txt"), "说明 text");
  EXPECT_EQ(ReadTextFile(root_ / "deepseek/deepseek/OllamaSetup"), big);
  EXPECT_EQ(ReadTextFile(root_ / "models/sub/a.bin"), "a");
  EXPECT_TRUE(fs::is_regular_file(root_ / "empty"));
  EXPECT_EQ(fs::file_size(root_ / "empty"), 0u);
  EXPECT_EQ(ZipClose(zip), ZR_OK);
}

TEST_F(ZipReaderTest, CountsIndexesAndHandles) {
  HZIP zip = Open(BuildZip({FileEntry("a", "1"), FileEntry("b", "2")}));
  ZipEntry entry;
  ASSERT_EQ(ZipItemInfo(zip, -1, &entry), ZR_OK);
  EXPECT_EQ(entry.index, 2);
  EXPECT_EQ(entry.name, L"");
  EXPECT_EQ(ZipItemInfo(zip, 2, &entry), ZR_ARGS);
  EXPECT_EQ(ZipLastResult(), ZR_ARGS);
  EXPECT_EQ(ZipItemInfo(zip, -2, &entry), ZR_ARGS);
  EXPECT_EQ(ZipExtractItem(zip, 0, &entry, 0, 9), ZR_ARGS);  // unknown mode
  EXPECT_EQ(ZipItemInfo(nullptr, 0, &entry), ZR_ARGS);
  // Moving backwards restarts from the first record.
  ASSERT_EQ(ZipItemInfo(zip, 1, &entry), ZR_OK);
  EXPECT_EQ(entry.name, L"b");
  ASSERT_EQ(ZipItemInfo(zip, 0, &entry), ZR_OK);
  EXPECT_EQ(entry.name, L"a");
  EXPECT_EQ(entry.uncompressedSize, 1u);
  ZipClose(zip);
  EXPECT_EQ(ZipClose(nullptr), ZR_ARGS);
}

TEST_F(ZipReaderTest, ClimbingNamesStayInsideTheRoot) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"../../evil.txt", "evil.txt"},
      {"a/../../b.txt", "b.txt"},
      {"..\\..\\win.txt", "win.txt"},
      {"/abs/x.txt", "abs/x.txt"},
      {"\\\\server\\share\\u.txt", "server/share/u.txt"},
      {"C:\\Windows\\c.txt", "Windows/c.txt"},
      {"C:../d.txt", "d.txt"},
      {"deep/./../../../../e.txt", "e.txt"},
      {"f/..", "f"},
      {"g/..\\..\\h.txt", "h.txt"},
      {"..", ""},
      {"...", "..."},
  };
  std::vector<ZipBuildEntry> entries;
  for (const auto& [raw, clean] : names) entries.push_back(FileEntry(raw, raw));
  HZIP zip = Open(BuildZip(entries));
  ASSERT_NE(zip, nullptr);
  const auto before = Tree(outside_);
  for (std::size_t i = 0; i < names.size(); ++i) {
    ZipEntry entry;
    ASSERT_EQ(ZipItemInfo(zip, static_cast<int>(i), &entry), ZR_OK);
    EXPECT_EQ(platform::WideToOsNarrow(entry.name), names[i].second) << names[i].first;
    ZipExtractItemToFile(zip, static_cast<int>(i), entry.name);
    // Even a hostile name handed in by a caller is cleaned.
    ZipExtractItemToFile(zip, static_cast<int>(i), L"../../" + entry.name);
  }
  ZipClose(zip);
  auto after = Tree(outside_);
  for (const auto& path : before) after.erase(path);
  for (const auto& path : after) {
    EXPECT_EQ(path.rfind("out/", 0), 0u) << path << " was written outside the root";
  }
  EXPECT_EQ(ReadTextFile(root_ / "evil.txt"), "../../evil.txt");
  EXPECT_EQ(ReadTextFile(root_ / "Windows/c.txt"), "C:\\Windows\\c.txt");
}

TEST_F(ZipReaderTest, UnixAndDosAttributes) {
  HZIP zip = Open(BuildZip(AttributeEntries()));
  std::vector<std::uint32_t> attributes;
  for (int i = 0; i < 6; ++i) {
    ZipEntry entry;
    ASSERT_EQ(ZipItemInfo(zip, i, &entry), ZR_OK);
    attributes.push_back(entry.attributes);
  }
  EXPECT_EQ(attributes, (std::vector<std::uint32_t>{0x10, 0x30, 0x21, 0x06, 0x20, 0x21}));
  EXPECT_EQ(ExtractAll(zip), std::vector<ZRESULT>(6, ZR_OK));
  ZipClose(zip);
  EXPECT_TRUE(fs::is_directory(root_ / "dosdir"));
  EXPECT_TRUE(fs::is_directory(root_ / "unixdir"));
}

TEST_F(ZipReaderTest, TimesFromExtendedTimestampOrDosTime) {
  HZIP zip = Open(BuildZip(TimestampEntries()));
  ZipEntry entry;
  ASSERT_EQ(ZipItemInfo(zip, 0, &entry), ZR_OK);
  EXPECT_EQ(entry.writeTime, 1700000000LL * 10000000 + 116444736000000000LL);
  EXPECT_EQ(entry.accessTime, 1700000100LL * 10000000 + 116444736000000000LL);
  EXPECT_EQ(entry.createTime, 1600000000LL * 10000000 + 116444736000000000LL);
  ASSERT_EQ(ZipItemInfo(zip, 1, &entry), ZR_OK);
  EXPECT_EQ(entry.accessTime, entry.writeTime);
  EXPECT_EQ(entry.createTime, entry.writeTime);
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 14;
  local.tm_hour = 9;
  local.tm_min = 26;
  local.tm_sec = 52;
  local.tm_isdst = -1;
  EXPECT_EQ(entry.writeTime, UnixTimeToFileTime(std::mktime(&local)));
  EXPECT_EQ(ExtractAll(zip), std::vector<ZRESULT>(2, ZR_OK));
  ZipClose(zip);
  EXPECT_EQ(UnixWriteTime(root_ / "stamped"), 1700000000);
}

TEST_F(ZipReaderTest, EncryptedEntriesNeedTheRightPassword) {
  const std::string secret = Noise(70000, 3);
  ZipBuildEntry deflated = FileEntry("deepseek/OllamaSetup", secret);
  deflated.password = "markOakGrove";
  ZipBuildEntry stored = FileEntry("deepseek/notes.txt", "plain words");
  stored.deflate = false;
  stored.password = "markOakGrove";
  stored.dataDescriptor = true;
  const std::string archive = BuildZip({deflated, stored});

  HZIP right = Open(archive, "markOakGrove");
  EXPECT_EQ(ExtractAll(right), (std::vector<ZRESULT>{ZR_OK, ZR_OK}));
  ZipClose(right);
  EXPECT_EQ(ReadTextFile(root_ / "deepseek/OllamaSetup"), secret);
  EXPECT_EQ(ReadTextFile(root_ / "deepseek/notes.txt"), "plain words");

  fs::remove_all(root_ / "deepseek");
  for (const char* wrong : {"markoakgrove", "", static_cast<const char*>(nullptr)}) {
    HZIP zip = Open(archive, wrong);
    for (ZRESULT r : ExtractAll(zip)) EXPECT_EQ(r, ZR_PASSWORD);
    ZipClose(zip);
    // No output that could pass for a whole setup.
    EXPECT_FALSE(fs::exists(root_ / "deepseek/OllamaSetup"));
    EXPECT_FALSE(fs::exists(root_ / "deepseek/notes.txt"));
  }
}

TEST_F(ZipReaderTest, DamagedDataFailsAndLeavesNoFile) {
  const std::string data = Noise(50000, 5);
  ZipBuildEntry badCrc = FileEntry("crc.bin", data);
  badCrc.breakCrc = true;
  std::string archive =
      BuildZip({FileEntry("good.bin", "good"), badCrc, FileEntry("cut.bin", data)});
  HZIP zip = Open(archive);
  const auto results = ExtractAll(zip);
  ZipClose(zip);
  EXPECT_EQ(results[0], ZR_OK);
  EXPECT_EQ(results[1], ZR_CORRUPT);
  EXPECT_FALSE(fs::exists(root_ / "crc.bin"));

  // Garble the deflated data of the last entry.
  const std::size_t middle = archive.find("cut.bin") + 7 + 100;
  for (std::size_t i = 0; i < 64; ++i) archive[middle + i] = static_cast<char>(0xFF);
  zip = Open(archive);
  EXPECT_NE(ExtractAll(zip)[2], ZR_OK);
  ZipClose(zip);
  EXPECT_FALSE(fs::exists(root_ / "cut.bin"));
}

TEST_F(ZipReaderTest, BrokenArchivesAreRefused) {
  const std::string archive = BuildZip({FileEntry("a", "1"), FileEntry("b", "2")});
  EXPECT_EQ(Open("not a zip at all, just text"), nullptr);
  EXPECT_EQ(ZipLastResult(), ZR_NOFILE);
  EXPECT_EQ(Open(""), nullptr);
  // Central directory offset pointing past its end record.
  std::string shifted = archive;
  shifted[shifted.size() - 6] = static_cast<char>(0x7F);
  EXPECT_EQ(Open(shifted), nullptr);
  EXPECT_EQ(ZipLastResult(), ZR_CORRUPT);
  // A damaged second central record: the first entry still reads.
  std::string damaged = archive;
  const std::size_t second = damaged.rfind("PK\x01\x02");
  damaged[second + 1] = 'X';
  HZIP zip = Open(damaged);
  ASSERT_NE(zip, nullptr);
  ZipEntry entry;
  EXPECT_EQ(ZipItemInfo(zip, 0, &entry), ZR_OK);
  EXPECT_EQ(ZipItemInfo(zip, 1, &entry), ZR_CORRUPT);
  ZipClose(zip);
  // Truncated: the end record is gone.
  EXPECT_EQ(Open(archive.substr(0, archive.size() - 10)), nullptr);
  // Data that stops before its compressed size.
  std::string cut = BuildZip({FileEntry("big", Noise(40000, 9))});
  HZIP cutZip = nullptr;
  {
    std::string body = cut;
    const std::size_t central = body.rfind("PK\x01\x02");
    // Claim the data is longer than the archive holds.
    body[central + 20] = static_cast<char>(0xFF);
    body[central + 21] = static_cast<char>(0xFF);
    body[central + 22] = static_cast<char>(0x0F);
    cutZip = Open(body);
    ASSERT_NE(cutZip, nullptr);
    EXPECT_EQ(ZipExtractItemToFile(cutZip, 0, L"big"), ZR_CORRUPT);
    ZipClose(cutZip);
  }
  EXPECT_FALSE(fs::exists(root_ / "big"));
}

TEST_F(ZipReaderTest, MemoryModeComesInPieces) {
  const std::string data = Noise(40000, 11);
  HZIP zip = Open(BuildZip({FileEntry("a", data), FileEntry("b", "short")}));
  std::string collected;
  std::vector<char> piece(16384);
  ZRESULT r = ZR_MORE;
  int calls = 0;
  while (r == ZR_MORE) {
    r = ZipExtractItem(zip, 0, piece.data(), static_cast<std::uint32_t>(piece.size()), ZIP_MEMORY);
    const std::size_t n = r == ZR_MORE ? piece.size() : data.size() - collected.size();
    collected.append(piece.data(), n);
    ++calls;
  }
  EXPECT_EQ(r, ZR_OK);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(collected, data);
  // Starting another entry abandons the one in progress.
  EXPECT_EQ(ZipExtractItem(zip, 0, piece.data(), 100, ZIP_MEMORY), ZR_MORE);
  EXPECT_EQ(ZipExtractItem(zip, 1, piece.data(), 100, ZIP_MEMORY), ZR_OK);
  EXPECT_EQ(std::string(piece.data(), 5), "short");
  ZipClose(zip);
}

TEST_F(ZipReaderTest, DescriptorModeAndSources) {
  const std::string archive = BuildZip({FileEntry("a", "alpha"), DirectoryEntry("d/")});
  const fs::path file = home_.root() / "a.zip";
  {
    std::ofstream out(file, std::ios::binary);
    out << "prefix bytes!" << archive;  // the archive starts where the handle stands
  }
  platform::FileHandle in(platform::OpenFileToRead(file));
  ASSERT_TRUE(in.valid());
  ASSERT_TRUE(platform::SetFilePosition(in.get(), 13));
  HZIP zip = ZipOpenDescriptor(in.get(), nullptr, platform::WidePath(root_));
  ASSERT_NE(zip, nullptr);
  platform::FileHandle home(platform::OpenFolder(home_.root()));
  platform::FileHandle out(platform::CreateNewFileIn(home.get(), "a.out", 0600));
  ASSERT_TRUE(out.valid());
  platform::NativeFile target = out.get();
  EXPECT_EQ(ZipExtractItem(zip, 0, &target, 0, ZIP_HANDLE), ZR_OK);
  EXPECT_EQ(ZipExtractItem(zip, 1, &target, 0, ZIP_HANDLE), ZR_OK);  // a folder: nothing
  out.reset();
  ZipClose(zip);
  in.reset();
  EXPECT_EQ(ReadTextFile(home_.root() / "a.out"), "alpha");

  HZIP fromFile = ZipOpenFile(platform::WidePath(home_.root() / "missing.zip"), nullptr);
  EXPECT_EQ(fromFile, nullptr);
  EXPECT_EQ(ZipLastResult(), ZR_NOFILE);
}

TEST_F(ZipReaderTest, ExistingFilesAndLinksAreReplacedNotFollowed) {
  std::ofstream(root_ / "a") << "old content that is longer";
  const fs::path victim = home_.root() / "victim.txt";
  std::ofstream(victim) << "must stay";
  if (!PlantFileLink(root_ / "b", victim)) GTEST_SKIP() << "no file links here";
  HZIP zip = Open(BuildZip({FileEntry("a", "new"), FileEntry("b", "through the link?")}));
  EXPECT_EQ(ExtractAll(zip), (std::vector<ZRESULT>{ZR_OK, ZR_OK}));
  ZipClose(zip);
  EXPECT_EQ(ReadTextFile(root_ / "a"), "new");
  EXPECT_EQ(ReadTextFile(victim), "must stay");
  EXPECT_FALSE(IsLink(root_ / "b"));
  EXPECT_EQ(ReadTextFile(root_ / "b"), "through the link?");
}

TEST_F(ZipReaderTest, ACancelStopsExtraction) {
  // Small entries are written in place, large ones behind on a thread.
  for (const std::size_t size : {std::size_t{100000}, std::size_t{9} << 20}) {
    SCOPED_TRACE(size);
    HZIP zip = Open(BuildZip({FileEntry("a.bin", Noise(size, 1)), FileEntry("b.bin", "b")}));
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipLastOsError(zip), 0);
    const std::atomic<bool> cancel{true};
    EXPECT_EQ(ZipSetCancel(zip, &cancel), ZR_OK);
    EXPECT_EQ(ZipExtractItemToFile(zip, 0, L"a.bin"), ZR_ABORT);
    EXPECT_FALSE(fs::exists(root_ / "a.bin"));  // nothing half-written stays
    EXPECT_EQ(ZipLastOsError(zip), 0);
    EXPECT_EQ(ZipSetCancel(zip, nullptr), ZR_OK);
    EXPECT_EQ(ZipExtractItemToFile(zip, 1, L"b.bin"), ZR_OK);
    EXPECT_EQ(ZipClose(zip), ZR_OK);
  }
  EXPECT_EQ(ZipSetCancel(nullptr, nullptr), ZR_ARGS);
}

}  // namespace
