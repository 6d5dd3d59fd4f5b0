#include <setup/payload_trailer.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace setup {

namespace {

void PutLe(std::string* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint64_t GetLe(const std::uint8_t* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

}  // namespace

std::string EncodeTrailer(const PayloadSlice& slice) {
  std::string trailer;
  PutLe(&trailer, slice.offset, 8);
  PutLe(&trailer, slice.size, 8);
  PutLe(&trailer, slice.crc, 4);
  PutLe(&trailer, kTrailerVersion, 4);
  trailer += kTrailerMagic;
  return trailer;
}

std::uint32_t PayloadCrc(const std::uint8_t* data, std::size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes 32-bit lengths: feed large payloads in pieces.
  constexpr std::size_t kPiece = 1u << 30;
  while (size > 0) {
    const std::size_t n = std::min(size, kPiece);
    crc = crc32(crc, data, static_cast<uInt>(n));
    data += n;
    size -= n;
  }
  return static_cast<std::uint32_t>(crc);
}

bool FindPayload(const std::uint8_t* file, std::size_t fileSize, PayloadSlice* slice,
                 std::string* reason) {
  if (fileSize < kTrailerSize) {
    *reason = "no payload: the file is too short";
    return false;
  }
  const std::uint8_t* trailer = file + fileSize - kTrailerSize;
  if (std::memcmp(trailer + 24, kTrailerMagic.data(), kTrailerMagic.size()) != 0) {
    *reason = "no payload: the trailer is missing";
    return false;
  }
  if (GetLe(trailer + 20, 4) != kTrailerVersion) {
    *reason = "no payload: unknown trailer version";
    return false;
  }
  slice->offset = GetLe(trailer, 8);
  slice->size = GetLe(trailer + 8, 8);
  slice->crc = static_cast<std::uint32_t>(GetLe(trailer + 16, 4));
  const std::uint64_t end = fileSize - kTrailerSize;
  if (slice->offset > end || slice->size != end - slice->offset) {
    *reason = "damaged payload: the trailer does not match the file's size";
    return false;
  }
  if (PayloadCrc(file + slice->offset, static_cast<std::size_t>(slice->size)) != slice->crc) {
    *reason = "damaged payload: checksum mismatch";
    return false;
  }
  return true;
}

}  // namespace setup
