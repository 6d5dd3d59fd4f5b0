#include <package/zip_source.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
  DescriptorSource(int fd, std::uint64_t base, std::uint64_t size, bool owned)
      : fd_(fd), base_(base), size_(size), owned_(owned) {}
  ~DescriptorSource() override {
    if (owned_) ::close(fd_);
  }
  std::uint64_t Size() const override { return size_; }
  long long Read(std::uint64_t offset, void* buffer, std::size_t length) const override {
    if (offset >= size_) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(base_ + offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
  }

 private:
  int fd_;
  std::uint64_t base_;
  std::uint64_t size_;
  bool owned_;
};

}  // namespace

std::shared_ptr<ZipSource> OpenFileSource(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  // Read with pread in blocks rather than mapped: memory stays small however
  // large the archive is, and positional reads let threads share the file.
  return std::make_shared<DescriptorSource>(fd, 0, size, true);
}

std::shared_ptr<ZipSource> OpenDescriptorSource(int fd, int* status) {
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  if (position < 0) {
    if (status != nullptr) *status = 1;
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size < position) {
    if (status != nullptr) *status = 2;
    return nullptr;
  }
  if (status != nullptr) *status = 0;
  return std::make_shared<DescriptorSource>(fd, static_cast<std::uint64_t>(position),
                                            static_cast<std::uint64_t>(info.st_size - position),
                                            false);
}

std::shared_ptr<ZipSource> OpenMemorySource(const void* data, std::size_t length) {
  if (data == nullptr && length != 0) return nullptr;
  return std::make_shared<MemorySource>(static_cast<const std::uint8_t*>(data), length);
}
