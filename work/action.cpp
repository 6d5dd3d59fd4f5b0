#include <work/action.h>

#include <algorithm>
#include <chrono>

#include <work/action_factory.h>
#include <work/notify_center.h>

namespace Action {

CActionBase::CActionBase(IActionCallback* owner)
    : m_id(CActionFactory::getSingletonPtr() != nullptr
               ? CActionFactory::getSingletonPtr()->NextId()
               : 0),
      m_owner(owner) {}

CActionBase::~CActionBase() {
  for (IObjRef* object : m_attached) object->Release();
}

void CActionBase::OnFinalRelease() {
  std::shared_ptr<WaitEvent> event;
  {
    CAutoLock guard(*this);
    event = m_waitEvent;
  }
  if (event) {
    CMutexLock lock(event->mutex);
    event->signalled = true;
    event->cv.notify_all();
  }
  delete this;
}

void CActionBase::Run(std::function<int()> task, bool urgent) {
  {
    CAutoLock guard(*this);
    m_task = std::move(task);
  }
  CActionFactory* factory = CActionFactory::getSingletonPtr();
  if (factory == nullptr) return;  // nothing can run it
  AddRef();                        // held by the pool task or the parked list
  factory->Start(this, urgent);
}

void CActionBase::SetCallback(std::function<void(int)> callback) {
  CAutoLock guard(*this);
  m_callback = std::move(callback);
}

std::function<void(int)> CActionBase::Callback() {
  CAutoLock guard(*this);
  return m_callback;
}

int CActionBase::RunTask() {
  std::function<int()> task;
  {
    CAutoLock guard(*this);
    task = m_task;
  }
  return task();  // an empty task throws, and the pool absorbs it
}

int CActionBase::RunOnUI(std::function<int()> fn) {
  INotifyCenter* center = INotifyCenter::getSingletonPtr();
  CActionFactory* factory = CActionFactory::getSingletonPtr();
  if (!fn || center == nullptr || factory == nullptr) return -1;
  // A window that has gone is not waited for: its thread may be the one
  // stopping the pool this task runs on.
  if (!factory->IsRegistered(m_owner)) return -1;
  int result = -1;
  center->RunOnUISync([&] {
    if (factory->IsRegistered(m_owner)) result = fn();
  });
  return result;
}

template <typename T>
void CActionBase::SetParam(const char* key, T&& value) {
  if (key == nullptr) return;
  CAutoLock guard(*this);
  m_params[key] = Json::Value(std::forward<T>(value));
}

void CActionBase::SetParamInt(const char* key, int value) { SetParam(key, value); }
void CActionBase::SetParamString(const char* key, const std::string& value) {
  SetParam(key, value);
}
void CActionBase::SetParamValue(const char* key, const Json::Value& value) { SetParam(key, value); }
void CActionBase::SetParamUInt(const char* key, unsigned int value) { SetParam(key, value); }
void CActionBase::SetParamFloat(const char* key, float value) {
  SetParam(key, static_cast<double>(value));
}
void CActionBase::SetParamDouble(const char* key, double value) { SetParam(key, value); }

bool CActionBase::HasParam(const char* key) {
  CAutoLock guard(*this);
  return key != nullptr && m_params.isObject() && m_params.isMember(key);
}

bool CActionBase::GetParamInt(const char* key, int& value) {
  CAutoLock guard(*this);
  if (key == nullptr || !m_params.isObject() || !m_params[key].isInt()) return false;
  value = m_params[key].asInt();
  return true;
}

bool CActionBase::GetParamString(const char* key, std::string& value) {
  CAutoLock guard(*this);
  if (key == nullptr || !m_params.isObject() || !m_params[key].isString()) return false;
  value = m_params[key].asString();
  return true;
}

bool CActionBase::GetParamValue(const char* key, Json::Value& value) {
  CAutoLock guard(*this);
  if (key == nullptr || !m_params.isObject() || !m_params.isMember(key)) return false;
  value = m_params[key];
  return true;
}

bool CActionBase::Cancel(int code) {
  CActionFactory* factory = CActionFactory::getSingletonPtr();
  return factory != nullptr && factory->CancelAction(this, code);
}

bool CActionBase::Wait(unsigned timeoutMs) {
  auto event = std::make_shared<WaitEvent>();
  {
    CAutoLock guard(*this);
    m_waitEvent = event;
  }
  Release();  // from here on the action may be gone; only the event is ours
  CMutexLock lock(event->mutex);
  return lock.WaitFor(event->cv, std::chrono::milliseconds(timeoutMs),
                      [&event]() TW_REQUIRES(event->mutex) { return event->signalled; });
}

void CActionBase::AttachObject(IObjRef* object) {
  if (object == nullptr) return;
  m_attached.push_back(object);
  object->AddRef();
}

void CActionBase::DetachObject(IObjRef* object) {
  if (std::find(m_attached.begin(), m_attached.end(), object) == m_attached.end()) return;
  object->Release();
  m_attached.remove(object);
}

}  // namespace Action
