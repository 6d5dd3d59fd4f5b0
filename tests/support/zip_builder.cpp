#include "zip_builder.h"

#include <zlib.h>

#include <random>

namespace {

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
}
constexpr std::uint32_t kFull = 0xFFFFFFFF;

std::string Deflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

class Keys {
 public:
  explicit Keys(const std::string& password) {
    for (char c : password) Update(static_cast<std::uint8_t>(c));
  }
  std::uint8_t Encrypt(std::uint8_t plain) {
    const std::uint32_t temp = (k_[2] | 2) & 0xFFFF;
    const auto cipher = static_cast<std::uint8_t>(plain ^ ((temp * (temp ^ 1)) >> 8));
    Update(plain);
    return cipher;
  }

 private:
  void Update(std::uint8_t c) {
    const z_crc_t* table = get_crc_table();
    k_[0] = table[(k_[0] ^ c) & 0xFF] ^ (k_[0] >> 8);
    k_[1] = (k_[1] + (k_[0] & 0xFF)) * 134775813u + 1;
    k_[2] = table[(k_[2] ^ (k_[1] >> 24)) & 0xFF] ^ (k_[2] >> 8);
  }
  std::uint32_t k_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace

std::string BuildZip(const std::vector<ZipBuildEntry>& entries, const std::string& comment,
                     bool zip64) {
  std::string archive;
  std::string central;
  for (const ZipBuildEntry& e : entries) {
    std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    std::string payload = e.deflate ? Deflate(e.data) : e.data;
    std::uint16_t flags = 0;
    if (!e.password.empty()) {
      flags |= 1;
      Keys keys(e.password);
      std::string header(12, '\0');
      for (int i = 0; i < 11; ++i)
        header[static_cast<std::size_t>(i)] = static_cast<char>(i * 37 + 5);
      header[11] = static_cast<char>(e.dataDescriptor ? (e.dosTime >> 8) : (crc >> 24));
      std::string sealed = header + payload;
      for (char& c : sealed) c = static_cast<char>(keys.Encrypt(static_cast<std::uint8_t>(c)));
      payload = sealed;
    }
    if (e.dataDescriptor) flags |= 8;
    if (e.breakCrc) crc ^= 0x00FF0000u;  // keeps the high byte the check uses
    const auto offset = static_cast<std::uint32_t>(archive.size());
    const std::uint16_t method = e.deflate ? 8 : 0;
    std::string localExtra = e.extra;
    std::string centralExtra = e.extra;
    if (zip64) {
      std::string block = "\x01";
      block.push_back('\0');
      Put16(block, 16);
      Put64(block, e.data.size());
      Put64(block, payload.size());
      localExtra = block + e.extra;
      block[2] = 24;
      Put64(block, offset);
      centralExtra = block + e.extra;
    }
    const bool sizesInLocal = !e.dataDescriptor;
    // Local header.
    Put32(archive, 0x04034b50);
    Put16(archive, 20);
    Put16(archive, flags);
    Put16(archive, method);
    Put16(archive, e.dosTime);
    Put16(archive, e.dosDate);
    Put32(archive, sizesInLocal ? crc : 0);
    Put32(archive, !sizesInLocal ? 0 : zip64 ? kFull : static_cast<std::uint32_t>(payload.size()));
    Put32(archive, !sizesInLocal ? 0 : zip64 ? kFull : static_cast<std::uint32_t>(e.data.size()));
    Put16(archive, static_cast<std::uint32_t>(e.name.size()));
    Put16(archive, static_cast<std::uint32_t>(localExtra.size()));
    archive += e.name + localExtra + payload;
    if (e.dataDescriptor) {
      Put32(archive, 0x08074b50);
      Put32(archive, crc);
      Put32(archive, static_cast<std::uint32_t>(payload.size()));
      Put32(archive, static_cast<std::uint32_t>(e.data.size()));
    }
    // Central record.
    Put32(central, 0x02014b50);
    Put16(central, (static_cast<std::uint32_t>(e.host) << 8) | 30);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, method);
    Put16(central, e.dosTime);
    Put16(central, e.dosDate);
    Put32(central, crc);
    Put32(central, zip64 ? kFull : static_cast<std::uint32_t>(payload.size()));
    Put32(central, zip64 ? kFull : static_cast<std::uint32_t>(e.data.size()));
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, static_cast<std::uint32_t>(centralExtra.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, e.externalAttributes);
    Put32(central, zip64 ? kFull : offset);
    central += e.name + centralExtra;
  }
  const auto centralOffset = static_cast<std::uint32_t>(archive.size());
  archive += central;
  if (zip64) {
    const auto recordOffset = static_cast<std::uint64_t>(archive.size());
    Put32(archive, 0x06064b50);
    Put64(archive, 44);
    Put16(archive, 45);
    Put16(archive, 45);
    Put32(archive, 0);
    Put32(archive, 0);
    Put64(archive, entries.size());
    Put64(archive, entries.size());
    Put64(archive, central.size());
    Put64(archive, centralOffset);
    Put32(archive, 0x07064b50);
    Put32(archive, 0);
    Put64(archive, recordOffset);
    Put32(archive, 1);
  }
  Put32(archive, 0x06054b50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, zip64 ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  Put16(archive, zip64 ? 0xFFFF : static_cast<std::uint32_t>(entries.size()));
  Put32(archive, zip64 ? kFull : static_cast<std::uint32_t>(central.size()));
  Put32(archive, zip64 ? kFull : centralOffset);
  Put16(archive, static_cast<std::uint32_t>(comment.size()));
  return archive + comment;
}

std::string ExtendedTimestamp(std::uint32_t write, std::uint32_t access, std::uint32_t create) {
  std::string block = "UT";
  Put16(block, 13);
  block.push_back(7);
  Put32(block, write);
  Put32(block, access);
  Put32(block, create);
  return block;
}

ZipBuildEntry FileEntry(const std::string& name, const std::string& data) {
  ZipBuildEntry entry;
  entry.name = name;
  entry.data = data;
  return entry;
}

ZipBuildEntry DirectoryEntry(const std::string& name, std::uint8_t host) {
  ZipBuildEntry entry;
  entry.name = name;
  entry.deflate = false;
  entry.host = host;
  entry.externalAttributes = host == 3 ? (040755u << 16) : 0x10u;
  return entry;
}

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}
