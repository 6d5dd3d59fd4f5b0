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
    std::lock_guard lock(mutex_);
    if (closed_) return;
  }
  // fn belongs to the waiting caller: it runs only while the caller waits,
  // and a caller that gave up (closed) takes it along.
  QMetaObject::invokeMethod(
      this,
      [this, state, &fn] {
        {
          std::lock_guard lock(mutex_);
          if (*state == CallState::Abandoned) return;
          *state = CallState::Running;
        }
        struct MarkDone {
          CQtNotifyCenter* center;
          CallState* state;
          ~MarkDone() {
            std::lock_guard lock(center->mutex_);
            *state = CallState::Done;
            center->finished_.notify_all();
          }
        } done{this, state.get()};
        fn();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  finished_.wait(
      lock, [&] { return *state == CallState::Done || (closed_ && *state == CallState::Queued); });
  if (*state == CallState::Queued) *state = CallState::Abandoned;
}

void CQtNotifyCenter::RunOnUIAsync(std::function<void()> fn) {
  if (!fn || IsClosed()) return;
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool CQtNotifyCenter::IsWindowThread() const { return QThread::currentThread() == thread(); }

void CQtNotifyCenter::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  finished_.notify_all();
}

bool CQtNotifyCenter::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}
