#pragma once
// Where an archive's bytes come from: a file mapped into memory, a caller's
// descriptor read with pread, or a caller's memory block. Reads are
// positional, so several readers may share one source.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <platform/file_handle.h>

class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual std::uint64_t Size() const = 0;
  // The bytes at offset when the source is in memory (zero copy), else null.
  virtual const std::uint8_t* Data() const { return nullptr; }
  // Copies up to length bytes at offset; the count read, or -1 on error.
  virtual long long Read(std::uint64_t offset, void* buffer, std::size_t length) const = 0;

  // True when exactly length bytes were read.
  bool ReadExact(std::uint64_t offset, void* buffer, std::size_t length) const {
    return Read(offset, buffer, length) == static_cast<long long>(length);
  }
};

// Null when the file cannot be opened or read.
std::shared_ptr<ZipSource> OpenFileSource(const std::filesystem::path& path);
// The caller's descriptor from its current position on; it stays the
// caller's. Null when it cannot seek (status 1) or fails otherwise (status 2).
std::shared_ptr<ZipSource> OpenDescriptorSource(platform::NativeFile fd, int* status);
// The caller's block, which must outlive the source.
std::shared_ptr<ZipSource> OpenMemorySource(const void* data, std::size_t length);
