#pragma once
// Writes a large output file on a second thread while the caller produces
// the next block: inflating and writing overlap. Blocks of 1 MiB are handed
// over; the writer thread writes them in 64 KiB pieces.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <thread>
#include <vector>

#include <platform/file_handle.h>
#include <platform/thread_annotations.h>

class AsyncFileWriter {
 public:
  explicit AsyncFileWriter(platform::NativeFile fd);
  ~AsyncFileWriter();  // waits for what is queued
  AsyncFileWriter(const AsyncFileWriter&) = delete;
  AsyncFileWriter& operator=(const AsyncFileWriter&) = delete;

  // A buffer to fill (empty, with room reserved).
  std::vector<std::uint8_t> Take() TW_EXCLUDES(mutex_);
  // Queues the filled buffer; false once a write has failed.
  bool Put(std::vector<std::uint8_t> block) TW_EXCLUDES(mutex_);
  // Waits until everything queued is written; false if any write failed.
  bool Finish() TW_EXCLUDES(mutex_);
  // The errno (see platform/file_handle.h) of the write that failed (0 when none failed or it wrote nothing).
  int error() TW_EXCLUDES(mutex_);

 private:
  void Run() TW_EXCLUDES(mutex_);

  const platform::NativeFile fd_;  // written to by the writer thread only
  CMutex mutex_;
  std::condition_variable cv_;
  std::deque<std::vector<std::uint8_t>> queue_ TW_GUARDED_BY(mutex_);
  std::vector<std::vector<std::uint8_t>> spare_ TW_GUARDED_BY(mutex_);
  bool closing_ TW_GUARDED_BY(mutex_) = false;
  bool failed_ TW_GUARDED_BY(mutex_) = false;
  int error_ TW_GUARDED_BY(mutex_) = 0;
  bool idle_ TW_GUARDED_BY(mutex_) = true;
  std::thread thread_;
};
