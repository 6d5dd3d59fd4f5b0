#pragma once
// Reads (and decrypts) a large entry's compressed data on a second thread,
// a few blocks ahead of the inflater, so that reading, decryption and
// inflating/writing overlap. Decryption is inherently serial; this takes it
// off the thread that inflates and writes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include <package/zip_source.h>
#include <platform/thread_annotations.h>

class ZipPrefetcher {
 public:
  // decrypt may be empty (plain data); it is called in order, block by block.
  ZipPrefetcher(const ZipSource& source, std::uint64_t offset, std::uint64_t length,
                std::function<void(std::uint8_t*, std::size_t)> decrypt);
  ~ZipPrefetcher();
  ZipPrefetcher(const ZipPrefetcher&) = delete;
  ZipPrefetcher& operator=(const ZipPrefetcher&) = delete;

  // The next block (moved into *block); false at the end or on a read error
  // (error() tells which).
  bool Next(std::vector<std::uint8_t>* block) TW_EXCLUDES(mutex_);
  bool error() const TW_EXCLUDES(mutex_);

 private:
  void Run() TW_EXCLUDES(mutex_);

  // The reading thread's alone: not locked.
  const ZipSource& source_;
  std::uint64_t offset_;
  std::uint64_t left_;
  std::function<void(std::uint8_t*, std::size_t)> decrypt_;
  // Shared with the caller of Next.
  mutable CMutex mutex_;
  std::condition_variable cv_;
  std::deque<std::vector<std::uint8_t>> ready_ TW_GUARDED_BY(mutex_);
  std::vector<std::vector<std::uint8_t>> spare_ TW_GUARDED_BY(mutex_);  // consumed, reused
  bool done_ TW_GUARDED_BY(mutex_) = false;
  bool stop_ TW_GUARDED_BY(mutex_) = false;
  bool error_ TW_GUARDED_BY(mutex_) = false;
  std::thread thread_;
};
