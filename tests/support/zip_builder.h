#pragma once
// Builds zip archives in memory for tests: any names (crafted ones
// included), stored or deflated data, either host, extra fields, traditional
// encryption, data descriptors.
#include <cstdint>
#include <string>
#include <vector>

struct ZipBuildEntry {
  std::string name;
  std::string data;
  bool deflate = true;
  std::uint8_t host = 3;  // 3: Unix, 0: MS-DOS
  std::uint32_t externalAttributes = 0100644u << 16;
  std::uint16_t dosDate = (44 << 9) | (3 << 5) | 14;   // 2024-03-14
  std::uint16_t dosTime = (9 << 11) | (26 << 5) | 26;  // 09:26:52
  std::string extra;
  std::string password;  // empty: not encrypted
  bool dataDescriptor = false;
  bool breakCrc = false;  // store a wrong CRC-32
};

// zip64: every size and offset in Zip64 extra blocks (central and local),
// with the Zip64 end record and locator, as tools write past 4 GiB.
// Pseudo-random bytes that do not compress, the same for the same seed.
std::string Noise(std::size_t size, unsigned seed);

std::string BuildZip(const std::vector<ZipBuildEntry>& entries, const std::string& comment = "",
                     bool zip64 = false);

// An extended-timestamp extra block with the given Unix times (flags 1|2|4).
std::string ExtendedTimestamp(std::uint32_t write, std::uint32_t access, std::uint32_t create);

// Convenience entries.
ZipBuildEntry FileEntry(const std::string& name, const std::string& data);
ZipBuildEntry DirectoryEntry(const std::string& name, std::uint8_t host = 3);
