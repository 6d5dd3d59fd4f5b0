#pragma once
// The reader's test fixture, shared by the cases every system runs and
// those that need POSIX calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <package/zip_entry_info.h>
#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace zip_reader_test {

namespace fs = std::filesystem;

// Every path below root, relative.
inline std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    paths.insert(fs::relative(entry.path(), root).generic_string() +
                 (entry.is_directory() ? "/" : ""));
  }
  return paths;
}

class ZipReaderTest : public ::testing::Test {
 protected:
  ZipReaderTest() : root_(home_.root() / "out"), outside_(home_.root()) {
    fs::create_directories(root_);
  }
  HZIP Open(const std::string& archive, const char* password = nullptr) {
    archive_ = archive;
    return ZipOpenMemory(archive_.data(), archive_.size(), password, platform::WidePath(root_));
  }
  // Extracts every entry by its sanitised name; returns the results.
  std::vector<ZRESULT> ExtractAll(HZIP zip) {
    ZipEntry entry;
    EXPECT_EQ(ZipItemInfo(zip, -1, &entry), ZR_OK);
    std::vector<ZRESULT> results;
    for (int i = 0; i < entry.index; ++i) {
      ZipEntry item;
      EXPECT_EQ(ZipItemInfo(zip, i, &item), ZR_OK);
      results.push_back(ZipExtractItemToFile(zip, i, item.name));
    }
    return results;
  }

  TempHome home_;
  fs::path root_;
  fs::path outside_;
  std::string archive_;
};

// Entries made on DOS, NTFS and Unix, with their attribute bits: the
// folders, ro.txt, h.txt, setup.sh (0755) and u-ro (0444).
inline std::vector<ZipBuildEntry> AttributeEntries() {
  ZipBuildEntry dosDir = DirectoryEntry("dosdir/", 0);
  ZipBuildEntry unixDir = DirectoryEntry("unixdir/", 3);
  ZipBuildEntry readOnly = FileEntry("ro.txt", "r");
  readOnly.host = 0;
  readOnly.externalAttributes = 0x21;  // archive + read-only
  ZipBuildEntry hidden = FileEntry("h.txt", "h");
  hidden.host = 11;  // NTFS
  hidden.externalAttributes = 0x06;
  ZipBuildEntry script = FileEntry("setup.sh", "#!/bin/sh\n");
  script.externalAttributes = 0100755u << 16;
  ZipBuildEntry unixReadOnly = FileEntry("u-ro", "x");
  unixReadOnly.externalAttributes = 0100444u << 16;
  return {dosDir, unixDir, readOnly, hidden, script, unixReadOnly};
}

// "stamped" with an extended timestamp (written 1700000000, read
// 1700000100, made 1600000000) behind a field of another kind; "plain"
// with its DOS time only.
inline std::vector<ZipBuildEntry> TimestampEntries() {
  ZipBuildEntry stamped = FileEntry("stamped", "s");
  stamped.extra = std::string(
                      "XY\x02\x00"
                      "ab",
                      6) +
                  ExtendedTimestamp(1700000000, 1700000100, 1600000000);
  return {stamped, FileEntry("plain", "p")};
}

}  // namespace zip_reader_test
