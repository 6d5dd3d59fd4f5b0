#pragma once
// The data of one archive entry, read piece by piece: decrypted when it is
// encrypted (traditional PKWARE), inflated when it is deflated, checked
// against its CRC-32 at the end.
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <package/zip_prefetch.h>
#include <package/zip_reader.h>
#include <package/zip_source.h>

struct ZipEntryLocation {
  std::uint64_t localHeaderOffset = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
};

class ZipEntryStream {
 public:
  ZipEntryStream() = default;
  ~ZipEntryStream();
  ZipEntryStream(const ZipEntryStream&) = delete;
  ZipEntryStream& operator=(const ZipEntryStream&) = delete;

  ZRESULT Open(const ZipSource& source, const ZipEntryLocation& entry,
               const std::optional<std::string>& password);
  // Fills out with up to length bytes; *count 0 with ZR_OK means the end.
  // At the end the CRC-32 is checked.
  ZRESULT Read(std::uint8_t* out, std::size_t length, std::size_t* count);
  bool AtEnd() const { return uncompressedLeft_ == 0 && finished_; }

 private:
  ZRESULT FetchInput();
  void Decrypt(std::uint8_t* data, std::size_t length);
  void UpdateKeys(std::uint8_t plain);
  ZRESULT Finish();

  const ZipSource* source_ = nullptr;
  ZipEntryLocation entry_;
  std::uint64_t position_ = 0;        // next compressed byte in the source
  std::uint64_t compressedLeft_ = 0;  // compressed bytes not fetched yet
  std::uint64_t uncompressedLeft_ = 0;
  bool encrypted_ = false;
  std::uint32_t keys_[3] = {};
  z_stream zstream_{};
  bool inflating_ = false;
  bool finished_ = false;
  std::uint32_t crc_ = 0;
  std::vector<std::uint8_t> input_;          // fetched input when it cannot be read in place
  std::unique_ptr<ZipPrefetcher> prefetch_;  // large entries: read ahead on a thread
  const std::uint8_t* in_ = nullptr;         // current input window
  std::size_t inLength_ = 0;
};
