#include <package/zip_prefetch.h>

namespace {
// Handed over in 1 MiB blocks (few wake-ups), read in 64 KiB pieces (cheap
// system calls).
constexpr std::size_t kBlock = 1024 * 1024;
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::size_t kBlocksAhead = 4;
}  // namespace

ZipPrefetcher::ZipPrefetcher(const ZipSource& source, std::uint64_t offset, std::uint64_t length,
                             std::function<void(std::uint8_t*, std::size_t)> decrypt)
    : source_(source), offset_(offset), left_(length), decrypt_(std::move(decrypt)) {
  thread_ = std::thread(&ZipPrefetcher::Run, this);
}

ZipPrefetcher::~ZipPrefetcher() {
  {
    CMutexLock lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void ZipPrefetcher::Run() {
  while (left_ > 0) {
    std::vector<std::uint8_t> block;
    {
      CMutexLock lock(mutex_);
      lock.Wait(cv_,
                [this]() TW_REQUIRES(mutex_) { return stop_ || ready_.size() < kBlocksAhead; });
      if (stop_) return;
      if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kBlock));
    block.resize(n);
    bool read = true;
    for (std::size_t done = 0; read && done < n; done += kPiece) {
      read = source_.ReadExact(offset_ + done, block.data() + done, std::min(kPiece, n - done));
    }
    if (!read) {
      CMutexLock lock(mutex_);
      error_ = true;
      done_ = true;
      cv_.notify_all();
      return;
    }
    if (decrypt_) decrypt_(block.data(), n);
    offset_ += n;
    left_ -= n;
    CMutexLock lock(mutex_);
    ready_.push_back(std::move(block));
    cv_.notify_all();
  }
  CMutexLock lock(mutex_);
  done_ = true;
  cv_.notify_all();
}

bool ZipPrefetcher::Next(std::vector<std::uint8_t>* block) {
  CMutexLock lock(mutex_);
  if (!block->empty() || block->capacity() != 0) spare_.push_back(std::move(*block));
  block->clear();
  lock.Wait(cv_, [this]() TW_REQUIRES(mutex_) { return !ready_.empty() || done_; });
  if (ready_.empty()) return false;
  *block = std::move(ready_.front());
  ready_.pop_front();
  cv_.notify_all();
  return true;
}

bool ZipPrefetcher::error() const {
  CMutexLock lock(mutex_);
  return error_;
}
