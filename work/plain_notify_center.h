#pragma once
// A notify center without a toolkit: its own thread plays the window thread.
// Used where there is no window (tests, benchmarks, headless tools).
#include <condition_variable>
#include <deque>
#include <thread>

#include <work/notify_center.h>

class CPlainNotifyCenter final : public INotifyCenter {
 public:
  CPlainNotifyCenter();
  // Runs what is still queued, then ends the window thread.
  ~CPlainNotifyCenter() override;

  void RunOnUISync(const std::function<void()>& fn) override;
  void RunOnUIAsync(std::function<void()> fn) override;
  bool IsWindowThread() const override;

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};
