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

namespace ctpl {

class thread_pool {
 public:
  using Task = std::function<void(int)>;

  explicit thread_pool(int threadCount);
  virtual ~thread_pool();
  thread_pool(const thread_pool&) = delete;
  thread_pool& operator=(const thread_pool&) = delete;

  int size() const;
  // Workers blocked waiting for work; read without a lock, so it may be stale.
  int idle_count() const { return idle_; }

  // Grows (or shrinks) the pool; does nothing once the pool is stopped.
  void resize(int threadCount);

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
  void stop();

 protected:
  // Called on worker i after each task it ran, before it takes the next one.
  virtual void on_task_done(int i);

 private:
  void Push(std::unique_ptr<Task> task);
  bool Pop(std::unique_ptr<Task>& task);
  void StartWorker(int i);
  void WorkerLoop(int i, std::shared_ptr<std::atomic<bool>> stopFlag);
  void ClearQueue();

  std::vector<std::unique_ptr<std::thread>> threads_;
  std::vector<std::shared_ptr<std::atomic<bool>>> stopFlags_;
  std::queue<std::unique_ptr<Task>> queue_;
  std::mutex queueMutex_;
  std::atomic<bool> isDone_{false};
  std::atomic<bool> isStop_{false};
  std::atomic<int> idle_{0};
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::once_flag stopOnce_;
};

}  // namespace ctpl
