#pragma once
// Where a setup program's payload lives inside its own file.
//
// Layout of a setup file:
//
//   [ the program (ELF) ][ payload: a zip archive ][ trailer, 32 bytes ]
//
// Trailer, all integers little-endian:
//
//   offset  size  field
//        0     8  payload offset from the start of the file
//        8     8  payload size in bytes
//       16     4  CRC-32 (zlib) of the payload bytes
//       20     4  format version, 1
//       24     8  magic "TWPAYLD1"
//
// The payload must end where the trailer starts. The CRC lets the setup
// refuse a damaged copy before it touches the install folder: the zip reader
// itself does not fail an entry whose CRC is wrong.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace setup {

inline constexpr std::size_t kTrailerSize = 32;
inline constexpr std::uint32_t kTrailerVersion = 1;
inline constexpr std::string_view kTrailerMagic = "TWPAYLD1";

struct PayloadSlice {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};

// The trailer for a payload of the given size placed at offset.
std::string EncodeTrailer(const PayloadSlice& slice);

// Finds the payload in a whole setup file held in memory. False with a reason
// when the trailer is missing, names bytes outside the file, or the payload's
// CRC does not match.
bool FindPayload(const std::uint8_t* file, std::size_t fileSize, PayloadSlice* slice,
                 std::string* reason);

std::uint32_t PayloadCrc(const std::uint8_t* data, std::size_t size);

}  // namespace setup
