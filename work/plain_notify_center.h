#pragma once
// A notify center without a toolkit: its own thread plays the window thread.
// Used where there is no window (tests, benchmarks, headless tools).
#include <condition_variable>
#include <deque>
#include <thread>

#include <platform/thread_annotations.h>
#include <work/notify_center.h>

class CPlainNotifyCenter final : public INotifyCenter {
 public:
  CPlainNotifyCenter();
  // Runs what is still queued, then ends the window thread.
  ~CPlainNotifyCenter() override;

  void RunOnUISync(const std::function<void()>& fn) override;
  void RunOnUIAsync(std::function<void()> fn) TW_EXCLUDES(mutex_) override;
  bool IsWindowThread() const override;

 private:
  void Loop() TW_EXCLUDES(mutex_);

  CMutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_ TW_GUARDED_BY(mutex_);
  bool stopping_ TW_GUARDED_BY(mutex_) = false;
  std::thread thread_;  // set in the constructor, then only read
};
