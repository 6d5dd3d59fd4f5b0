#pragma once
// The notify center on Qt: functions reach the window thread through the
// event loop, queued, with synchronous callers waiting for theirs to finish.
#include <QObject>

#include <condition_variable>

#include <platform/thread_annotations.h>
#include <work/notify_center.h>

class CQtNotifyCenter final : public QObject, public INotifyCenter {
 public:
  // Lives on the thread that creates it: the window thread. It closes by
  // itself when the application's event loop ends.
  CQtNotifyCenter();
  ~CQtNotifyCenter() override;

  void RunOnUISync(const std::function<void()>& fn) TW_EXCLUDES(mutex_) override;
  void RunOnUIAsync(std::function<void()> fn) override;
  bool IsWindowThread() const override;

  // No event loop will run functions any more: every waiting and later
  // RunOnUISync returns at once, and functions not yet started never run.
  void Close() TW_EXCLUDES(mutex_);
  bool IsClosed() const TW_EXCLUDES(mutex_);

 private:
  enum class CallState { Queued, Running, Done, Abandoned };

  // Also guards each call's CallState, which lives in the call, not here:
  // the analysis sees only closed_.
  mutable CMutex mutex_;
  std::condition_variable finished_;
  bool closed_ TW_GUARDED_BY(mutex_) = false;
};
