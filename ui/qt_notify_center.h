#pragma once
// The notify center on Qt: functions reach the window thread through the
// event loop, queued, with synchronous callers waiting for theirs to finish.
#include <QObject>

#include <condition_variable>
#include <mutex>

#include <work/notify_center.h>

class CQtNotifyCenter final : public QObject, public INotifyCenter {
 public:
  // Lives on the thread that creates it: the window thread. It closes by
  // itself when the application's event loop ends.
  CQtNotifyCenter();
  ~CQtNotifyCenter() override;

  void RunOnUISync(const std::function<void()>& fn) override;
  void RunOnUIAsync(std::function<void()> fn) override;
  bool IsWindowThread() const override;

  // No event loop will run functions any more: every waiting and later
  // RunOnUISync returns at once, and functions not yet started never run.
  void Close();
  bool IsClosed() const;

 private:
  enum class CallState { Queued, Running, Done, Abandoned };

  mutable std::mutex mutex_;
  std::condition_variable finished_;
  bool closed_ = false;
};
