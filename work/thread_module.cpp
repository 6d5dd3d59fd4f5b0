#include <work/thread_module.h>

CThreadModule::CThreadModule(int threadCount) : thread_pool(threadCount) {}

CThreadModule::~CThreadModule() {
  {
    CAutoLock guard(*this);
    notifyList.clear();
  }
  // Drain here, while this object is whole: workers still call on_task_done.
  stop();
}

void CThreadModule::AddNotify(IThreadNotify* notify) {
  CAutoLock guard(*this);
  notifyList.push_back(notify);
}

void CThreadModule::RemoveNotify(IThreadNotify* notify) {
  CAutoLock guard(*this);
  notifyList.remove(notify);
}

void CThreadModule::on_task_done(int i) {
  CAutoLock guard(*this);
  for (IThreadNotify* notify : notifyList) notify->OnThreadNotify(i);
}
