#pragma once
// The stated sending rate shared by every answer: each block takes its turn
// on one timeline, so answers together never exceed the rate, and none waits
// for bytes it does not send (a range that starts deep in the file, or
// another answer's). A sender that wakes a little late keeps its place
// (the timeline may lag now by up to kSlack), so sleep granularity costs no
// rate; a longer idle pause saves no more credit than that for a burst.
#include <chrono>
#include <cstdint>
#include <mutex>

class BytePacer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSlack{20};
  explicit BytePacer(std::uint64_t bytesPerSecond) : m_rate(bytesPerSecond) {}

  // When a block of n bytes, reserved now, has had its share of the rate:
  // it is sent then. A rate of 0 sends at once.
  Clock::time_point Reserve(std::uint64_t n, Clock::time_point now = Clock::now()) {
    if (m_rate == 0) return now;
    std::lock_guard lock(m_mutex);
    const Clock::time_point from = m_next > now - kSlack ? m_next : now - kSlack;
    m_next = from + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(n) /
                                                      static_cast<double>(m_rate)));
    return m_next;
  }

 private:
  const std::uint64_t m_rate;
  std::mutex m_mutex;
  Clock::time_point m_next{};
};
