#pragma once
// The process-wide worker pool. Besides running tasks it tells its observers,
// on the worker that just became free, that a task has finished.
#include <list>

#include <config/lock_base.h>
#include <config/singleton.h>
#include <work/thread_pool.h>

class IThreadNotify {
 public:
  virtual void OnThreadNotify(int workerIndex) = 0;

 protected:
  virtual ~IThreadNotify() = default;
};

class CThreadModule : public CSingleton<CThreadModule>, public ctpl::thread_pool, public CLockBase {
 public:
  explicit CThreadModule(int threadCount);
  ~CThreadModule() override;

  void AddNotify(IThreadNotify* notify);
  void RemoveNotify(IThreadNotify* notify);

 protected:
  // Observers are called in order under the module lock; they must not add
  // or remove observers from inside the call.
  void on_task_done(int i) override;

 private:
  std::list<IThreadNotify*> notifyList TW_GUARDED_BY(this);
};
