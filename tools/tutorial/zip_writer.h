#pragma once
// Writes a zip archive of in-memory files: deflated (or stored when that is
// smaller), UTF-8 names flagged as such, Unix permissions and one fixed
// time, so the same input always gives the same bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ZipFileToWrite {
  std::string name;  // UTF-8, '/' between folders
  std::string data;
  std::uint32_t mode = 0600;  // Unix permissions the reader restores
};

// An MS-DOS date and time as zip stores them (local time, 2-second steps).
struct ZipTimestamp {
  std::uint16_t date;
  std::uint16_t time;
};

ZipTimestamp MakeZipTimestamp(int year, int month, int day, int hour, int minute, int second);

// False for names a reader could take outside its target folder or would
// misread: empty, absolute, backslashes, control characters, "." or ".."
// segments, empty segments, over the 16-bit length field.
bool IsSafeZipEntryName(std::string_view name);

// The whole archive, or nothing when a name is unsafe or a size or count is
// beyond what a zip without 64-bit extensions holds.
std::optional<std::string> WriteZip(const std::vector<ZipFileToWrite>& files, ZipTimestamp time);
