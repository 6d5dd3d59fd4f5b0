#include "zip_writer.h"

#include <zlib.h>

#include <limits>

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50u;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50u;
constexpr std::uint32_t kEndSignature = 0x06054b50u;
constexpr std::uint16_t kVersionNeeded = 20;               // deflate
constexpr std::uint16_t kVersionMadeBy = (3u << 8) | 20u;  // Unix host: the mode is read back
constexpr std::uint16_t kUtf8NameFlag = 1u << 11;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint32_t kRegularFileType = 0100000u;
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xffu));
  out.push_back(static_cast<char>((value >> 8) & 0xffu));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xffffu);
  Put16(out, value >> 16);
}

std::uint32_t Crc32(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32_z(crc32_z(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Raw deflate (no zlib header), as zip wants it; nothing on failure.
std::optional<std::string> Deflate(std::string_view data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return std::nullopt;
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return std::nullopt;
  return out;
}

struct Written {
  std::uint16_t method;
  std::uint32_t crc;
  std::uint32_t compressedSize;
  std::uint32_t size;
  std::uint32_t offset;
};

}  // namespace

ZipTimestamp MakeZipTimestamp(int year, int month, int day, int hour, int minute, int second) {
  return {static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day),
          static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2))};
}

bool IsSafeZipEntryName(std::string_view name) {
  if (name.empty() || name.size() > std::numeric_limits<std::uint16_t>::max()) return false;
  if (name.front() == '/') return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\' || c == ':') return false;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view segment = name.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

std::optional<std::string> WriteZip(const std::vector<ZipFileToWrite>& files, ZipTimestamp time) {
  if (files.size() >= std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  std::string archive;
  std::vector<Written> written;
  for (const ZipFileToWrite& file : files) {
    if (!IsSafeZipEntryName(file.name) || file.data.size() >= kMax32) return std::nullopt;
    std::optional<std::string> packed = Deflate(file.data);
    if (!packed) return std::nullopt;
    // Already-compressed data can grow under deflate: keep it as it is then.
    const bool store = packed->size() >= file.data.size();
    const std::string_view body = store ? file.data : std::string_view(*packed);
    if (archive.size() + 30 + file.name.size() + body.size() >= kMax32) return std::nullopt;
    const Written entry{store ? kMethodStored : kMethodDeflated, Crc32(file.data),
                        static_cast<std::uint32_t>(body.size()),
                        static_cast<std::uint32_t>(file.data.size()),
                        static_cast<std::uint32_t>(archive.size())};
    Put32(archive, kLocalHeaderSignature);
    Put16(archive, kVersionNeeded);
    Put16(archive, kUtf8NameFlag);
    Put16(archive, entry.method);
    Put16(archive, time.time);
    Put16(archive, time.date);
    Put32(archive, entry.crc);
    Put32(archive, entry.compressedSize);
    Put32(archive, entry.size);
    Put16(archive, static_cast<std::uint32_t>(file.name.size()));
    Put16(archive, 0);  // no extra field
    archive += file.name;
    archive += body;
    written.push_back(entry);
  }

  const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Written& entry = written[i];
    Put32(archive, kCentralHeaderSignature);
    Put16(archive, kVersionMadeBy);
    Put16(archive, kVersionNeeded);
    Put16(archive, kUtf8NameFlag);
    Put16(archive, entry.method);
    Put16(archive, time.time);
    Put16(archive, time.date);
    Put32(archive, entry.crc);
    Put32(archive, entry.compressedSize);
    Put32(archive, entry.size);
    Put16(archive, static_cast<std::uint32_t>(files[i].name.size()));
    Put16(archive, 0);  // extra field
    Put16(archive, 0);  // comment
    Put16(archive, 0);  // disk number
    Put16(archive, 0);  // internal attributes
    Put32(archive, (kRegularFileType | (files[i].mode & 0777u)) << 16);
    Put32(archive, entry.offset);
    archive += files[i].name;
  }
  const std::uint64_t directorySize = archive.size() - directoryOffset;
  if (archive.size() + 22 >= kMax32) return std::nullopt;
  Put32(archive, kEndSignature);
  Put16(archive, 0);  // this disk
  Put16(archive, 0);  // disk with the directory
  Put16(archive, static_cast<std::uint32_t>(files.size()));
  Put16(archive, static_cast<std::uint32_t>(files.size()));
  Put32(archive, static_cast<std::uint32_t>(directorySize));
  Put32(archive, directoryOffset);
  Put16(archive, 0);  // no comment
  return archive;
}
