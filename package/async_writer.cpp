#include <package/async_writer.h>

#include <algorithm>
#include <cerrno>

namespace {
constexpr std::size_t kBlock = 1024 * 1024;
constexpr std::size_t kPiece = 64 * 1024;  // measured: the cheapest write size here
constexpr std::size_t kQueued = 4;
}  // namespace

AsyncFileWriter::AsyncFileWriter(platform::NativeFile fd) : fd_(fd), thread_(&AsyncFileWriter::Run, this) {}

AsyncFileWriter::~AsyncFileWriter() {
  Finish();
  {
    CMutexLock lock(mutex_);
    closing_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

std::vector<std::uint8_t> AsyncFileWriter::Take() {
  CMutexLock lock(mutex_);
  std::vector<std::uint8_t> block;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  block.clear();
  block.reserve(kBlock);
  return block;
}

bool AsyncFileWriter::Put(std::vector<std::uint8_t> block) {
  CMutexLock lock(mutex_);
  lock.Wait(cv_, [this]() TW_REQUIRES(mutex_) { return queue_.size() < kQueued || failed_; });
  if (failed_) return false;
  queue_.push_back(std::move(block));
  cv_.notify_all();
  return true;
}

bool AsyncFileWriter::Finish() {
  CMutexLock lock(mutex_);
  lock.Wait(cv_, [this]() TW_REQUIRES(mutex_) { return (queue_.empty() && idle_) || failed_; });
  return !failed_;
}

int AsyncFileWriter::error() {
  CMutexLock lock(mutex_);
  return error_;
}

void AsyncFileWriter::Run() {
  for (;;) {
    std::vector<std::uint8_t> block;
    {
      CMutexLock lock(mutex_);
      lock.Wait(cv_, [this]() TW_REQUIRES(mutex_) { return !queue_.empty() || closing_; });
      if (queue_.empty()) return;
      block = std::move(queue_.front());
      queue_.pop_front();
      idle_ = false;
    }
    bool ok = true;
    int error = 0;
    for (std::size_t done = 0; ok && done < block.size();) {
      const std::size_t piece = std::min(kPiece, block.size() - done);
      const long long n = platform::WriteSome(fd_, block.data() + done, piece);
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
      if (n < 0) error = errno;
    }
    CMutexLock lock(mutex_);
    if (!ok && !failed_) {
      failed_ = true;
      error_ = error;
    }
    spare_.push_back(std::move(block));
    idle_ = true;
    cv_.notify_all();
  }
}
