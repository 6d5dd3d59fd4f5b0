#pragma once
// Carries actions from the window to the worker pool and their results back.
// Actions started while no worker is idle are parked and fed to the pool as
// workers finish. Lock order: thread module lock, then factory lock.
#include <atomic>
#include <list>

#include <config/lock_base.h>
#include <config/singleton.h>
#include <work/action.h>
#include <work/thread_module.h>

namespace Action {

// The completion code of an action that could not be run at all (there is no
// worker pool).
inline constexpr int kActionNotRun = -1;

// The owner of actions (a window). Completions reach it only while it is
// registered with the factory.
class IActionCallback {
 public:
  virtual void OnActionFinish(IAction* action, int result) = 0;

 protected:
  virtual ~IActionCallback() = default;
};

// The program never destroys it; where it is destroyed (tests, tools), the
// thread module must have stopped first: queued tasks report to it.
class CActionFactory : public CSingleton<CActionFactory>, public IThreadNotify, public CLockBase {
 public:
  CActionFactory();
  virtual ~CActionFactory();

  // Window thread only.
  bool RegisterCallback(IActionCallback* owner) TW_EXCLUDES(m_callbacksMutex);
  void UnregisterCallback(IActionCallback* owner) TW_EXCLUDES(m_callbacksMutex);
  bool IsRegistered(IActionCallback* owner) const TW_EXCLUDES(m_callbacksMutex);

  int NextId() { return ++m_idCounter; }
  // Starts the action now, or parks it when no worker is idle.
  void Start(CActionBase* action, bool urgent);
  void Submit(CActionBase* action);
  void OnThreadNotify(int workerIndex) override;
  bool CancelAction(CActionBase* action, int code);
  // Waits for the window thread: never with the factory lock held.
  void DeliverResult(CActionBase* action, int result) TW_EXCLUDES(this);

 private:
  std::atomic<int> m_idCounter{0};
  // Owners change on the window thread only; the small lock of their own
  // keeps a test or tool that registers from elsewhere safe too.
  mutable CMutex m_callbacksMutex;
  std::list<IActionCallback*> m_callbacks TW_GUARDED_BY(m_callbacksMutex);
  std::list<CActionBase*> m_pending TW_GUARDED_BY(this);  // parked actions
};

// Base of a window class: the window is its own action owner, registered
// while it lives. Completions go through per-action callbacks.
template <class T>
class CActionRegister : public IActionCallback {
 public:
  CActionRegister() {
    if (CActionFactory* factory = CActionFactory::getSingletonPtr()) {
      factory->RegisterCallback(this);
    }
  }
  void OnActionFinish(IAction*, int) override {}

 protected:
  ~CActionRegister() {
    if (CActionFactory* factory = CActionFactory::getSingletonPtr()) {
      factory->UnregisterCallback(this);
    }
  }
};

}  // namespace Action
