#include <work/plain_notify_center.h>

#include <future>

CPlainNotifyCenter::CPlainNotifyCenter() : thread_(&CPlainNotifyCenter::Loop, this) {}

CPlainNotifyCenter::~CPlainNotifyCenter() {
  {
    std::lock_guard lock(mutex_);
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
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  cv_.notify_one();
}

bool CPlainNotifyCenter::IsWindowThread() const {
  return std::this_thread::get_id() == thread_.get_id();
}

void CPlainNotifyCenter::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to run
    std::function<void()> fn = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    fn();
    lock.lock();
  }
}
