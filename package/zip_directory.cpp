#include <package/zip_directory.h>

#include <algorithm>
#include <limits>
#include <vector>

#include <package/zip_format.h>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentSearch = 65535;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kSaturated32 = 0xFFFFFFFF;

ZRESULT ReadEndRecord(const ZipSource& source, std::uint64_t endOffset, const std::uint8_t* end,
                      ZipDirectory* directory) {
  std::uint64_t entries = Le16(end + 10);
  std::uint64_t centralSize = Le32(end + 12);
  std::uint64_t centralOffset = Le32(end + 16);
  std::uint64_t centralEnd = endOffset;  // where the central directory really ends
  std::uint8_t locator[kZip64LocatorSize];
  if (endOffset >= kZip64LocatorSize + kZip64EndSize &&
      source.ReadExact(endOffset - kZip64LocatorSize, locator, sizeof locator) &&
      Le32(locator) == kZip64LocatorSignature) {
    // Zip64: the real counts, sizes and offsets are in the Zip64 end record.
    if (Le32(locator + 4) != 0 || Le32(locator + 16) > 1) return ZR_CORRUPT;
    const std::uint64_t locatorOffset = endOffset - kZip64LocatorSize;
    std::uint64_t recordOffset = Le64(locator + 8);
    std::uint8_t record[kZip64EndSize];
    if (recordOffset > locatorOffset - kZip64EndSize ||
        !source.ReadExact(recordOffset, record, sizeof record) ||
        Le32(record) != kZip64EndSignature) {
      // Data in front of the archive shifts every offset: the record stands
      // right before its locator.
      recordOffset = locatorOffset - kZip64EndSize;
      if (!source.ReadExact(recordOffset, record, sizeof record) ||
          Le32(record) != kZip64EndSignature) {
        return ZR_CORRUPT;
      }
    }
    if (Le32(record + 16) != 0 || Le32(record + 20) != 0 ||
        Le64(record + 24) != Le64(record + 32)) {
      return ZR_CORRUPT;
    }
    entries = Le64(record + 32);
    centralSize = Le64(record + 40);
    centralOffset = Le64(record + 48);
    centralEnd = recordOffset;
  } else if (Le16(end + 4) != 0 || Le16(end + 6) != 0 || Le16(end + 8) != entries) {
    return ZR_CORRUPT;
  }
  if (centralOffset > centralEnd || centralSize > centralEnd - centralOffset) return ZR_CORRUPT;
  // Every record takes at least its fixed part: a count the directory
  // cannot hold is a damaged end record.
  if (entries > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ||
      entries * kCentralRecordSize > centralEnd - centralOffset) {
    return ZR_CORRUPT;
  }
  // An empty directory sits right before the end records; an end record
  // that says otherwise (one inside a comment, say) is not the archive's.
  if (entries == 0 && centralOffset + centralSize != centralEnd) return ZR_CORRUPT;
  std::uint64_t base = 0;
  std::uint8_t signature[4];
  const auto isCentral = [&](std::uint64_t offset) {
    return offset + sizeof signature <= centralEnd &&
           source.ReadExact(offset, signature, sizeof signature) &&
           Le32(signature) == kCentralSignature;
  };
  if (entries > 0 && !isCentral(centralOffset)) {
    // Bytes in front of the archive (a self-extracting program): the
    // directory ends where the end records begin, and the difference to
    // where it says it ends is the shift of every offset.
    const std::uint64_t shift = centralEnd - (centralOffset + centralSize);
    if (shift == 0 || !isCentral(centralOffset + shift)) return ZR_CORRUPT;
    base = shift;
  }
  directory->entries = static_cast<std::uint32_t>(entries);
  directory->base = base;
  directory->offset = centralOffset + base;
  directory->end = centralEnd;
  return ZR_OK;
}

}  // namespace

ZRESULT FindCentralDirectory(const ZipSource& source, ZipDirectory* directory) {
  const std::uint64_t size = source.Size();
  if (size < kEndRecordSize) return ZR_NOFILE;
  const std::size_t window =
      static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxCommentSearch + kEndRecordSize));
  std::vector<std::uint8_t> tail(window);
  if (!source.ReadExact(size - window, tail.data(), window)) return ZR_NOFILE;
  // The end record nearest the end whose comment reaches exactly to the end
  // of the file and whose fields hold: a comment may itself contain the
  // signature. Failing that, the nearest one that holds (some tools leave
  // bytes after the comment).
  ZRESULT first = ZR_NOFILE;
  for (const bool exact : {true, false}) {
    for (std::size_t at = window - kEndRecordSize + 1; at-- > 0;) {
      if (Le32(tail.data() + at) != kEndSignature) continue;
      const std::uint64_t endOffset = size - window + at;
      const std::uint64_t commentEnd = endOffset + kEndRecordSize + Le16(tail.data() + at + 20);
      if (exact ? commentEnd != size : commentEnd >= size) continue;
      const ZRESULT r = ReadEndRecord(source, endOffset, tail.data() + at, directory);
      if (r == ZR_OK) return ZR_OK;
      if (first == ZR_NOFILE) first = r;
    }
  }
  return first;
}

bool ApplyZip64Extra(const std::uint8_t* extra, std::size_t length, Zip64Fields fields) {
  std::uint64_t* values[] = {fields.uncompressed, fields.compressed, fields.offset};
  bool saturated[3];
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    saturated[i] = *values[i] == kSaturated32;
    any = any || saturated[i];
  }
  if (!any) return true;
  for (std::size_t at = 0; at + 4 <= length;) {
    const std::size_t size = Le16(extra + at + 2);
    const std::size_t data = at + 4;
    if (data + size > length) break;
    if (Le16(extra + at) == kZip64ExtraId) {
      std::size_t p = data;
      for (int i = 0; i < 3; ++i) {
        if (!saturated[i]) continue;
        if (p + 8 > data + size) return false;
        *values[i] = Le64(extra + p);
        p += 8;
      }
      return true;
    }
    at = data + size;
  }
  return false;
}
