#pragma once
// Writes a large output file on a second thread while the caller produces
// the next block: inflating and writing overlap. Blocks of 1 MiB are handed
// over; the writer thread writes them in 64 KiB pieces.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class AsyncFileWriter {
 public:
  explicit AsyncFileWriter(int fd);
  ~AsyncFileWriter();  // waits for what is queued
  AsyncFileWriter(const AsyncFileWriter&) = delete;
  AsyncFileWriter& operator=(const AsyncFileWriter&) = delete;

  // A buffer to fill (empty, with room reserved).
  std::vector<std::uint8_t> Take();
  // Queues the filled buffer; false once a write has failed.
  bool Put(std::vector<std::uint8_t> block);
  // Waits until everything queued is written; false if any write failed.
  bool Finish();
  // The errno of the write that failed (0 when none failed or it wrote nothing).
  int error();

 private:
  void Run();

  int fd_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::vector<std::uint8_t>> queue_;
  std::vector<std::vector<std::uint8_t>> spare_;
  bool closing_ = false;
  bool failed_ = false;
  int error_ = 0;
  bool idle_ = true;
  std::thread thread_;
};
