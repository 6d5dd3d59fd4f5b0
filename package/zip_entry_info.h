#pragma once
// What an archive entry's central-directory record turns into: a safe
// relative name, Windows-style attributes, and file times.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// Entry names are at most this many UTF-16 units, terminator included.
inline constexpr std::size_t kZipMaxName = 260;

// Drops drive letters, leading separators and every "..": the result is a
// relative path with no step out of the folder it is joined to.
std::wstring SanitiseEntryName(std::wstring_view name);

// Attributes from the external attributes and the host that made the entry.
std::uint32_t EntryAttributes(std::uint32_t externalAttributes, std::uint8_t host);

// An MS-DOS date and time, read as local time, as a file time (100 ns since
// 1601-01-01 UTC).
std::int64_t DosTimeToFileTime(std::uint16_t date, std::uint16_t time);
std::int64_t UnixTimeToFileTime(std::int64_t seconds);
std::int64_t FileTimeToUnixNanoseconds(std::int64_t fileTime);

struct EntryTimes {
  std::int64_t access;
  std::int64_t create;
  std::int64_t write;
};

// The DOS time for all three, replaced by an extended-timestamp block's
// times where the extra field has one.
EntryTimes EntryTimesFrom(std::uint16_t dosDate, std::uint16_t dosTime, const std::uint8_t* extra,
                          std::size_t extraLength);
