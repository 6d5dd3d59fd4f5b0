#include <work/thread_pool.h>

namespace ctpl {

thread_pool::thread_pool(int threadCount) { resize(threadCount); }

thread_pool::~thread_pool() { stop(); }

int thread_pool::size() const {
  CMutexLock lock(mutex_);
  return static_cast<int>(threads_.size());
}

void thread_pool::resize(int threadCount) {
  if (threadCount < 0) return;
  // Checked under the lock that stop() takes to claim the pool: a resize
  // never starts workers that stop() would not see.
  CMutexLock lock(mutex_);
  if (isStop_ || isDone_) return;
  const int old = static_cast<int>(threads_.size());
  const auto count = static_cast<std::size_t>(threadCount);
  if (threadCount >= old) {
    threads_.resize(count);
    stopFlags_.resize(count);
    for (int i = old; i < threadCount; ++i) {
      stopFlags_[static_cast<std::size_t>(i)] = std::make_shared<std::atomic<bool>>(false);
      StartWorker(i);
    }
    return;
  }
  // Surplus workers finish their current task, then end. They are joined,
  // not detached: a detached worker could still touch the pool after it is
  // destroyed.
  std::vector<std::unique_ptr<std::thread>> surplus;
  for (std::size_t i = count; i < threads_.size(); ++i) {
    *stopFlags_[i] = true;
    surplus.push_back(std::move(threads_[i]));
  }
  cv_.notify_all();
  threads_.resize(count);
  stopFlags_.resize(count);  // each worker keeps its own flag copy
  lock.Unlock();
  for (auto& thread : surplus) thread->join();
}

void thread_pool::stop() {
  // One caller claims the stop and takes the workers under the lock; any
  // other caller waits until the pool has drained and returns then.
  std::call_once(stopOnce_, [this] {
    std::vector<std::unique_ptr<std::thread>> threads;
    {
      CMutexLock lock(mutex_);
      if (isStop_) return;
      isDone_ = true;  // under the mutex: no worker misses the wake-up
      threads.swap(threads_);
      stopFlags_.clear();
      cv_.notify_all();
    }
    for (auto& thread : threads) {
      if (thread->joinable()) thread->join();
    }
    ClearQueue();
  });
}

void thread_pool::on_task_done(int) {}

void thread_pool::Push(std::unique_ptr<Task> task) {
  {
    CMutexLock lock(queueMutex_);
    queue_.push(std::move(task));
  }
  CMutexLock lock(mutex_);
  cv_.notify_one();
}

bool thread_pool::Pop(std::unique_ptr<Task>& task) {
  CMutexLock lock(queueMutex_);
  if (queue_.empty()) return false;
  task = std::move(queue_.front());
  queue_.pop();
  return true;
}

void thread_pool::ClearQueue() {
  std::unique_ptr<Task> task;
  while (Pop(task)) task.reset();
}

void thread_pool::StartWorker(int i) {
  threads_[static_cast<std::size_t>(i)] = std::make_unique<std::thread>(
      &thread_pool::WorkerLoop, this, i, stopFlags_[static_cast<std::size_t>(i)]);
}

void thread_pool::WorkerLoop(int i, std::shared_ptr<std::atomic<bool>> stopFlag) {
  std::unique_ptr<Task> task;
  bool popped = Pop(task);
  for (;;) {
    while (popped) {
      (*task)(i);
      if (*stopFlag) return;  // this worker was asked to end
      on_task_done(i);
      popped = Pop(task);
    }
    CMutexLock lock(mutex_);
    ++idle_;
    lock.Wait(cv_, [&]() TW_REQUIRES(mutex_) {
      popped = Pop(task);
      return popped || isDone_ || *stopFlag;
    });
    --idle_;
    if (!popped) return;
  }
}

}  // namespace ctpl
