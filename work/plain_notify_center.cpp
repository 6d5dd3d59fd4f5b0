#include <work/plain_notify_center.h>

#include <future>

CPlainNotifyCenter::CPlainNotifyCenter() : thread_(&CPlainNotifyCenter::Loop, this) {}

CPlainNotifyCenter::~CPlainNotifyCenter() {
  {
    CMutexLock lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_one();
  thread_.join();
}

void CPlainNotifyCenter::RunOnUISync(const std::function<void()>& fn) {
  if (!fn) return;
  if (IsWindowThread()) {
    fn();  // never wait for ourselves
    return;
  }
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  RunOnUIAsync([&fn, &done] {
    fn();
    done.set_value();
  });
  finished.wait();
}

void CPlainNotifyCenter::RunOnUIAsync(std::function<void()> fn) {
  if (!fn) return;
  {
    CMutexLock lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  cv_.notify_one();
}

bool CPlainNotifyCenter::IsWindowThread() const {
  return std::this_thread::get_id() == thread_.get_id();
}

void CPlainNotifyCenter::Loop() {
  CMutexLock lock(mutex_);
  for (;;) {
    lock.Wait(cv_, [this]() TW_REQUIRES(mutex_) { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to run
    std::function<void()> fn = std::move(queue_.front());
    queue_.pop_front();
    lock.Unlock();
    fn();
    lock.Lock();
  }
}
