#include <package/zip_source.h>

#include <algorithm>
#include <cstring>

#include <platform/file_handle.h>

namespace {

class MemorySource : public ZipSource {
 public:
  MemorySource(const std::uint8_t* data, std::uint64_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  const std::uint8_t* Data() const override { return data_; }
  long long Read(std::uint64_t offset, void* buffer, std::size_t length) const override {
    if (offset >= size_ || length == 0) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    if (n != 0) std::memcpy(buffer, data_ + offset, n);  // buffer may be null when n is 0
    return static_cast<long long>(n);
  }

 protected:
  const std::uint8_t* data_;
  std::uint64_t size_;
};

class DescriptorSource final : public ZipSource {
 public:
  DescriptorSource(platform::NativeFile fd, std::uint64_t base, std::uint64_t size, bool owned)
      : fd_(fd), base_(base), size_(size), owned_(owned) {}
  ~DescriptorSource() override {
    if (owned_) platform::CloseFile(fd_);
  }
  std::uint64_t Size() const override { return size_; }
  long long Read(std::uint64_t offset, void* buffer, std::size_t length) const override {
    if (offset >= size_) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    std::size_t done = 0;
    while (done < length) {
      const long long n = platform::ReadAt(fd_, static_cast<char*>(buffer) + done, length - done,
                                           base_ + offset + done);
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
  }

 private:
  platform::NativeFile fd_;
  std::uint64_t base_;
  std::uint64_t size_;
  bool owned_;
};

}  // namespace

std::shared_ptr<ZipSource> OpenFileSource(const std::filesystem::path& path) {
  const platform::NativeFile fd = platform::OpenFileToRead(path);
  if (fd == platform::kNoFile) return nullptr;
  const std::optional<platform::FileFacts> facts = platform::FactsOf(fd);
  if (!facts || !facts->regular) {
    platform::CloseFile(fd);
    return nullptr;
  }
  const std::uint64_t size = facts->size;
  // Read with pread in blocks rather than mapped: memory stays small however
  // large the archive is, and positional reads let threads share the file.
  return std::make_shared<DescriptorSource>(fd, 0, size, true);
}

std::shared_ptr<ZipSource> OpenDescriptorSource(platform::NativeFile fd, int* status) {
  const std::optional<std::uint64_t> position = platform::FilePosition(fd);
  if (!position) {
    if (status != nullptr) *status = 1;
    return nullptr;
  }
  const std::optional<platform::FileFacts> facts = platform::FactsOf(fd);
  if (!facts || facts->size < *position) {
    if (status != nullptr) *status = 2;
    return nullptr;
  }
  if (status != nullptr) *status = 0;
  return std::make_shared<DescriptorSource>(fd, *position, facts->size - *position, false);
}

std::shared_ptr<ZipSource> OpenMemorySource(const void* data, std::size_t length) {
  if (data == nullptr && length != 0) return nullptr;
  return std::make_shared<MemorySource>(static_cast<const std::uint8_t*>(data), length);
}
