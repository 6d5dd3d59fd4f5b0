#include <ui/qt_notify_center.h>

#include <QCoreApplication>
#include <QThread>

#include <memory>

CQtNotifyCenter::CQtNotifyCenter() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QObject::connect(app, &QCoreApplication::aboutToQuit, this, [this] { Close(); });
  }
}

CQtNotifyCenter::~CQtNotifyCenter() { Close(); }

void CQtNotifyCenter::RunOnUISync(const std::function<void()>& fn) {
  if (!fn) return;
  if (IsWindowThread()) {
    fn();  // never wait for ourselves
    return;
  }
  auto state = std::make_shared<CallState>(CallState::Queued);
  {
    CMutexLock lock(mutex_);
    if (closed_) return;
  }
  // fn belongs to the waiting caller: it runs only while the caller waits,
  // and a caller that gave up (closed) takes it along.
  QMetaObject::invokeMethod(
      this,
      [this, state, &fn] {
        {
          CMutexLock lock(mutex_);
          if (*state == CallState::Abandoned) return;
          *state = CallState::Running;
        }
        struct MarkDone {
          CQtNotifyCenter* center;
          CallState* state;
          ~MarkDone() {
            CMutexLock lock(center->mutex_);
            *state = CallState::Done;
            center->finished_.notify_all();
          }
        } done{this, state.get()};
        fn();
      },
      Qt::QueuedConnection);
  CMutexLock lock(mutex_);
  lock.Wait(finished_, [&]() TW_REQUIRES(mutex_) {
    return *state == CallState::Done || (closed_ && *state == CallState::Queued);
  });
  if (*state == CallState::Queued) *state = CallState::Abandoned;
}

void CQtNotifyCenter::RunOnUIAsync(std::function<void()> fn) {
  if (!fn || IsClosed()) return;
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool CQtNotifyCenter::IsWindowThread() const { return QThread::currentThread() == thread(); }

void CQtNotifyCenter::Close() {
  CMutexLock lock(mutex_);
  closed_ = true;
  finished_.notify_all();
}

bool CQtNotifyCenter::IsClosed() const {
  CMutexLock lock(mutex_);
  return closed_;
}
