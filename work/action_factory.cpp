#include <work/action_factory.h>

#include <algorithm>

#include <work/notify_center.h>

namespace Action {

CActionFactory::CActionFactory() {
  if (CThreadModule* module = CThreadModule::getSingletonPtr()) module->AddNotify(this);
}

CActionFactory::~CActionFactory() {
  if (CThreadModule* module = CThreadModule::getSingletonPtr()) module->RemoveNotify(this);
  CAutoLock guard(*this);
  m_pending.clear();
  CMutexLock lock(m_callbacksMutex);
  m_callbacks.clear();
}

bool CActionFactory::RegisterCallback(IActionCallback* owner) {
  if (owner == nullptr) return false;
  CMutexLock lock(m_callbacksMutex);
  if (std::find(m_callbacks.begin(), m_callbacks.end(), owner) == m_callbacks.end()) {
    m_callbacks.push_back(owner);
  }
  return true;
}

void CActionFactory::UnregisterCallback(IActionCallback* owner) {
  CMutexLock lock(m_callbacksMutex);
  m_callbacks.remove(owner);
}

bool CActionFactory::IsRegistered(IActionCallback* owner) const {
  CMutexLock lock(m_callbacksMutex);
  return owner != nullptr &&
         std::find(m_callbacks.begin(), m_callbacks.end(), owner) != m_callbacks.end();
}

void CActionFactory::Start(CActionBase* action, bool urgent) {
  CThreadModule* module = CThreadModule::getSingletonPtr();
  // Without workers a parked action would wait for ever: Submit fails it.
  if (module == nullptr || module->idle_count() > 0) {
    Submit(action);
    return;
  }
  {
    CAutoLock guard(*this);
    if (urgent) {
      m_pending.push_front(action);
    } else {
      m_pending.push_back(action);
    }
  }
  // The idle count may be stale: a worker that finished just now may already
  // have looked at the parked list and be on its way to sleep. An empty task
  // in the queue makes sure a worker looks again as soon as one is free (its
  // completion moves one parked action). Every parked action gets its own:
  // with fewer, an action parked behind one that never finishes could wait
  // forever while other workers sit idle.
  module->post([](int) {});
}

void CActionFactory::Submit(CActionBase* action) {
  CThreadModule* module = CThreadModule::getSingletonPtr();
  if (module == nullptr) {
    // Nothing can run the task: the owner hears so, and the reference taken
    // by Run goes, so the action is freed.
    DeliverResult(action, kActionNotRun);
    action->Release();
    return;
  }
  module->post([this, action](int) {
    // The reference from Run goes even when the task throws (no completion
    // is delivered then).
    struct ReleaseOnExit {
      CActionBase* action;
      ~ReleaseOnExit() { action->Release(); }
    } release{action};
    const int result = action->RunTask();
    if (!action->IsCancelled()) DeliverResult(action, result);
  });
}

void CActionFactory::OnThreadNotify(int) {
  CAutoLock guard(*this);
  if (m_pending.empty()) return;
  CActionBase* next = m_pending.front();
  m_pending.pop_front();
  Submit(next);
}

bool CActionFactory::CancelAction(CActionBase* action, int code) {
  {
    CAutoLock guard(*this);
    const auto it = std::find(m_pending.begin(), m_pending.end(), action);
    if (it == m_pending.end()) return false;
    action->MarkCancelled();
    m_pending.remove(action);
  }
  // Delivered outside the factory lock: the window thread may be waiting for
  // that lock to park another action while this thread waits for the window.
  DeliverResult(action, code);
  action->Release();
  return true;
}

void CActionFactory::DeliverResult(CActionBase* action, int result) {
  INotifyCenter* center = INotifyCenter::getSingletonPtr();
  if (center == nullptr) return;
  center->RunOnUISync([&] {
    IActionCallback* owner = action->Owner();
    if (owner == nullptr || !IsRegistered(owner)) return;  // the window is gone
    if (std::function<void(int)> callback = action->Callback()) {
      callback(result);
    } else {
      owner->OnActionFinish(action, result);
    }
  });
}

}  // namespace Action
