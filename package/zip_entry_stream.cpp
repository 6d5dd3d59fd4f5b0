#include <package/zip_entry_stream.h>

#include <algorithm>
#include <cstring>

#include <package/zip_format.h>

namespace {

// Input is fetched in blocks this large: few system calls, small memory.
constexpr std::size_t kInputBlock = 64 * 1024;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
// Entries up to this size are read together with their local header.
constexpr std::uint64_t kSmallEntry = 64 * 1024;
constexpr std::size_t kHeaderSlack = 1024;
// Entries at least this large are read (and decrypted) ahead on a thread.
constexpr std::uint64_t kPrefetchFrom = 8 * 1024 * 1024;

// One step of the traditional PKWARE key schedule over a plain byte.
inline void StepKeys(const z_crc_t* table, std::uint32_t& k0, std::uint32_t& k1, std::uint32_t& k2,
                     std::uint8_t plain) {
  k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
  k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
  k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
}

}  // namespace

ZipEntryStream::~ZipEntryStream() {
  prefetch_.reset();  // the reader thread goes before what it decrypts with
  if (inflating_) inflateEnd(&zstream_);
}

void ZipEntryStream::UpdateKeys(std::uint8_t plain) {
  StepKeys(get_crc_table(), keys_[0], keys_[1], keys_[2], plain);
}

// The keys live in locals for the loop: written through a byte pointer, the
// members would be reloaded from memory for every byte.
void ZipEntryStream::Decrypt(std::uint8_t* data, std::size_t length) {
  const z_crc_t* table = get_crc_table();
  std::uint32_t k0 = keys_[0];
  std::uint32_t k1 = keys_[1];
  std::uint32_t k2 = keys_[2];
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t temp = (k2 | 2) & 0xFFFF;  // unsigned: the product overflows int
    const auto plain = static_cast<std::uint8_t>(data[i] ^ ((temp * (temp ^ 1)) >> 8));
    StepKeys(table, k0, k1, k2, plain);
    data[i] = plain;
  }
  keys_[0] = k0;
  keys_[1] = k1;
  keys_[2] = k2;
}

ZRESULT ZipEntryStream::Open(const ZipSource& source, const ZipEntryLocation& entry,
                             const std::optional<std::string>& password) {
  source_ = &source;
  entry_ = entry;
  // A small entry comes in one read with its local header: the header's
  // name and extra field rarely take more than the slack allowed here.
  std::size_t probe = 30;
  if (source.Data() == nullptr && entry.compressedSize <= kSmallEntry &&
      entry.localHeaderOffset < source.Size()) {
    probe = static_cast<std::size_t>(std::min<std::uint64_t>(
        source.Size() - entry.localHeaderOffset, 30 + kHeaderSlack + entry.compressedSize));
  }
  input_.resize(std::max<std::size_t>(probe, 30));
  const long long got = source.Read(entry.localHeaderOffset, input_.data(), probe);
  if (got < 30 || Le32(input_.data()) != kLocalHeaderSignature) return ZR_CORRUPT;
  const std::uint8_t* header = input_.data();
  position_ = entry.localHeaderOffset + 30 + Le16(header + 26) + Le16(header + 28);
  compressedLeft_ = entry.compressedSize;
  uncompressedLeft_ = entry.uncompressedSize;
  if (position_ > source.Size() || compressedLeft_ > source.Size() - position_) {
    return ZR_CORRUPT;  // data cut short
  }
  if (entry.method != 0 && entry.method != 8) return ZR_FLATE;
  crc_ = 0;
  if (position_ + compressedLeft_ <= entry.localHeaderOffset + static_cast<std::uint64_t>(got)) {
    // The whole entry is already here.
    in_ = input_.data() + (position_ - entry.localHeaderOffset);
    inLength_ = static_cast<std::size_t>(compressedLeft_);
    position_ += compressedLeft_;
    compressedLeft_ = 0;
  }

  encrypted_ = (entry.flags & 1) != 0;
  if (encrypted_) {
    keys_[0] = 0x12345678;
    keys_[1] = 0x23456789;
    keys_[2] = 0x34567890;
    if (password) {
      for (const char c : *password) UpdateKeys(static_cast<std::uint8_t>(c));
    }
    std::uint8_t check[12];
    if (inLength_ > 0) {
      if (inLength_ < 12) return ZR_CORRUPT;
      std::memcpy(check, in_, sizeof check);
      in_ += 12;
      inLength_ -= 12;
    } else {
      if (compressedLeft_ < 12 || !source.ReadExact(position_, check, sizeof check)) {
        return ZR_CORRUPT;
      }
      position_ += 12;
      compressedLeft_ -= 12;
    }
    Decrypt(check, sizeof check);
    const auto expected = static_cast<std::uint8_t>((entry.flags & 8) != 0 ? (entry.dosTime >> 8)
                                                                           : (entry.crc >> 24));
    if (check[11] != expected) return ZR_PASSWORD;
    if (inLength_ > 0) Decrypt(input_.data() + (in_ - input_.data()), inLength_);  // already here
  }
  if (entry.method == 8) {
    if (inflateInit2(&zstream_, -MAX_WBITS) != Z_OK) return ZR_FLATE;
    inflating_ = true;
  } else if (compressedLeft_ + inLength_ != uncompressedLeft_) {
    return ZR_CORRUPT;  // stored data is its own size
  }
  finished_ = false;
  if (compressedLeft_ >= kPrefetchFrom && source.Data() == nullptr) {
    std::function<void(std::uint8_t*, std::size_t)> decrypt;
    if (encrypted_) decrypt = [this](std::uint8_t* data, std::size_t n) { Decrypt(data, n); };
    prefetch_ = std::make_unique<ZipPrefetcher>(source, position_, compressedLeft_, decrypt);
  }
  return ZR_OK;
}

// Makes the next block of compressed data the input window: straight from
// memory when the source is mapped and nothing needs decrypting.
ZRESULT ZipEntryStream::FetchInput() {
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(
      compressedLeft_, source_->Data() != nullptr && !encrypted_ ? (1u << 30) : kInputBlock));
  if (n == 0) return ZR_FLATE;
  if (prefetch_) {
    if (!prefetch_->Next(&input_)) return prefetch_->error() ? ZR_READ : ZR_FLATE;
    in_ = input_.data();
    inLength_ = input_.size();
    position_ += inLength_;
    compressedLeft_ -= inLength_;
    return ZR_OK;
  }
  if (source_->Data() != nullptr && !encrypted_) {
    in_ = source_->Data() + position_;
  } else {
    input_.resize(kInputBlock);
    if (!source_->ReadExact(position_, input_.data(), n)) return ZR_READ;
    if (encrypted_) Decrypt(input_.data(), n);
    in_ = input_.data();
  }
  inLength_ = n;
  position_ += n;
  compressedLeft_ -= n;
  return ZR_OK;
}

ZRESULT ZipEntryStream::Read(std::uint8_t* out, std::size_t length, std::size_t* count) {
  *count = 0;
  if (uncompressedLeft_ == 0 && finished_) return ZR_OK;
  std::size_t produced = 0;
  if (!inflating_) {
    // Stored: copy the input window through.
    while (produced < length && uncompressedLeft_ > 0) {
      if (inLength_ == 0) {
        if (const ZRESULT r = FetchInput(); r != ZR_OK) return r;
      }
      const std::size_t n =
          std::min({length - produced, inLength_, static_cast<std::size_t>(uncompressedLeft_)});
      std::memcpy(out + produced, in_, n);
      in_ += n;
      inLength_ -= n;
      produced += n;
      uncompressedLeft_ -= n;
    }
    if (uncompressedLeft_ == 0) finished_ = true;
  } else {
    zstream_.next_out = out;
    zstream_.avail_out = static_cast<uInt>(std::min<std::size_t>(length, 1u << 30));
    while (zstream_.avail_out > 0 && !finished_) {
      if (inLength_ == 0 && compressedLeft_ > 0) {
        if (const ZRESULT r = FetchInput(); r != ZR_OK) return r;
      }
      const std::size_t window = std::min<std::size_t>(inLength_, 1u << 30);
      zstream_.next_in = const_cast<Bytef*>(in_);
      zstream_.avail_in = static_cast<uInt>(window);
      const uInt outBefore = zstream_.avail_out;
      const int status = inflate(&zstream_, Z_NO_FLUSH);
      const std::size_t consumed = window - zstream_.avail_in;
      in_ += consumed;
      inLength_ -= consumed;
      const std::size_t made = outBefore - zstream_.avail_out;
      if (made > uncompressedLeft_) return ZR_FLATE;  // more than the entry holds
      uncompressedLeft_ -= made;
      if (status == Z_STREAM_END) {
        finished_ = true;
      } else if (status != Z_OK) {
        return ZR_FLATE;
      } else if (made == 0 && consumed == 0) {
        return ZR_FLATE;  // no progress: the data ended before the stream did
      }
    }
    produced = length - zstream_.avail_out;
    if (finished_ && uncompressedLeft_ != 0) return ZR_FLATE;  // stream ended early
  }
  crc_ = static_cast<std::uint32_t>(crc32_z(crc_, out, produced));
  *count = produced;
  if (finished_ && uncompressedLeft_ == 0) return Finish();
  return ZR_OK;
}

ZRESULT ZipEntryStream::Finish() {
  if (crc_ == entry_.crc) return ZR_OK;
  // A wrong password can pass the one-byte check; the CRC catches it.
  return encrypted_ ? ZR_PASSWORD : ZR_CORRUPT;
}
