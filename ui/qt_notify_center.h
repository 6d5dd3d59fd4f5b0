#pragma once
// The notify center on Qt: functions reach the window thread through the
// event loop, blocking-queued for synchronous runs and queued otherwise.
#include <QObject>

#include <work/notify_center.h>

class CQtNotifyCenter final : public QObject, public INotifyCenter {
 public:
  // Lives on the thread that creates it: the window thread.
  CQtNotifyCenter();

  void RunOnUISync(const std::function<void()>& fn) override;
  void RunOnUIAsync(std::function<void()> fn) override;
  bool IsWindowThread() const override;
};
