#include <ui/qt_notify_center.h>

#include <QThread>

CQtNotifyCenter::CQtNotifyCenter() = default;

void CQtNotifyCenter::RunOnUISync(const std::function<void()>& fn) {
  if (!fn) return;
  if (IsWindowThread()) {
    fn();  // never wait for ourselves
    return;
  }
  // Returns when fn has run, or when the window thread's loop has gone and
  // the call is dropped; either way the worker is never left hanging on a
  // destroyed receiver.
  QMetaObject::invokeMethod(
      this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void CQtNotifyCenter::RunOnUIAsync(std::function<void()> fn) {
  if (!fn) return;
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool CQtNotifyCenter::IsWindowThread() const { return QThread::currentThread() == thread(); }
