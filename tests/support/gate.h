#pragma once
// A one-shot gate for concurrency tests: threads wait until it opens. The
// state is shared with the waiters, so a gate may go out of scope while an
// opened waiter is still on its way out.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class Gate {
 public:
  void Open() {
    std::lock_guard lock(state_->mutex);
    state_->open = true;
    state_->cv.notify_all();
  }
  void Wait() {
    const std::shared_ptr<State> state = state_;
    std::unique_lock lock(state->mutex);
    state->cv.wait(lock, [&state] { return state->open; });
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    const std::shared_ptr<State> state = state_;
    std::unique_lock lock(state->mutex);
    return state->cv.wait_for(lock, timeout, [&state] { return state->open; });
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Polls cond until it holds or about ten seconds pass.
template <typename Cond>
bool Eventually(Cond cond) {
  for (int i = 0; i < 2000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}
