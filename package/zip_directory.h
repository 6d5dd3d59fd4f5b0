#pragma once
// Finding an archive's central directory from its end records: the end
// record whose comment reaches the end of the file, the Zip64 end record and
// locator when there are any, and the shift of every offset when data stands
// in front of the archive (a self-extracting program).
#include <cstdint>

#include <package/zip_reader.h>
#include <package/zip_source.h>

struct ZipDirectory {
  std::uint32_t entries = 0;
  std::uint64_t offset = 0;  // the first record, shift included
  std::uint64_t end = 0;     // where the end records begin: no record lies past it
  std::uint64_t base = 0;    // bytes in front of the archive
};

// ZR_OK and the directory; ZR_NOFILE when no end record is found, ZR_CORRUPT
// when none holds.
ZRESULT FindCentralDirectory(const ZipSource& source, ZipDirectory* directory);

// The values a central record saturated (0xFFFFFFFF), replaced from its
// Zip64 extra block, which holds them in this order.
struct Zip64Fields {
  std::uint64_t* uncompressed;
  std::uint64_t* compressed;
  std::uint64_t* offset;
};
// False when a saturated value is missing from the block.
bool ApplyZip64Extra(const std::uint8_t* extra, std::size_t length, Zip64Fields fields);
