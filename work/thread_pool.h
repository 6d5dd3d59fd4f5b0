#pragma once
// A fixed pool of worker threads fed through a locked FIFO. After each task
// the worker that ran it calls the on_task_done hook before taking more work.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include <platform/thread_annotations.h>

namespace ctpl {

class thread_pool {
 public:
  using Task = std::function<void(int)>;

  explicit thread_pool(int threadCount);
  virtual ~thread_pool();
  thread_pool(const thread_pool&) = delete;
  thread_pool& operator=(const thread_pool&) = delete;

  int size() const TW_EXCLUDES(mutex_);
  // Workers blocked waiting for work; read without a lock, so it may be stale.
  int idle_count() const { return idle_; }

  // Grows (or shrinks) the pool; does nothing once the pool is stopped.
  void resize(int threadCount) TW_EXCLUDES(mutex_);

  // Queues f(workerIndex); the future carries its result or its exception.
  template <typename F>
  auto submit(F&& f) -> std::future<decltype(f(0))> {
    using Result = decltype(f(0));
    auto task = std::make_shared<std::packaged_task<Result(int)>>(std::forward<F>(f));
    std::future<Result> future = task->get_future();
    Push(std::make_unique<Task>([task](int id) { (*task)(id); }));
    return future;
  }

  // Like submit, for callers that never look at the result: no future is
  // made, and an exception the task throws is dropped, as submit's would be.
  template <typename F>
  void post(F&& f) {
    Push(std::make_unique<Task>([f = std::forward<F>(f)](int id) mutable {
      try {
        f(id);
      } catch (...) {
      }
    }));
  }

  // Runs every queued task, then joins the workers. Another call, also one
  // made at the same time, returns once that has happened.
  void stop() TW_EXCLUDES(mutex_);

 protected:
  // Called on worker i after each task it ran, before it takes the next one.
  virtual void on_task_done(int i);

 private:
  void Push(std::unique_ptr<Task> task) TW_EXCLUDES(queueMutex_, mutex_);
  // Lock order: mutex_ (a sleeping worker's check), then queueMutex_.
  bool Pop(std::unique_ptr<Task>& task) TW_EXCLUDES(queueMutex_);
  void StartWorker(int i) TW_REQUIRES(mutex_);
  void WorkerLoop(int i, std::shared_ptr<std::atomic<bool>> stopFlag) TW_EXCLUDES(mutex_);
  void ClearQueue() TW_EXCLUDES(queueMutex_);

  mutable CMutex mutex_;  // the workers, their stop flags, the wake-up
  std::vector<std::unique_ptr<std::thread>> threads_ TW_GUARDED_BY(mutex_);
  std::vector<std::shared_ptr<std::atomic<bool>>> stopFlags_ TW_GUARDED_BY(mutex_);
  CMutex queueMutex_;
  std::queue<std::unique_ptr<Task>> queue_ TW_GUARDED_BY(queueMutex_);
  std::atomic<bool> isDone_{false};
  std::atomic<bool> isStop_{false};
  std::atomic<int> idle_{0};
  std::condition_variable cv_;
  std::once_flag stopOnce_;
};

}  // namespace ctpl
