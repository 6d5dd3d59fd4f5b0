#pragma once
// An action: one piece of background work started by a window. It carries
// its task (run once on a worker), an optional completion callback (run on
// the window thread) and its owner window, and lives until the task has run
// and the completion has been delivered.
#include <json/value.h>

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include <config/lock_base.h>
#include <work/obj_ref.h>

namespace Action {

class IActionCallback;

struct IAction : public IObjRef {
  virtual int GetId() = 0;
  virtual void Run(std::function<int()> task, bool urgent) = 0;
  virtual void SetCallback(std::function<void(int)> callback) = 0;
  // Runs fn on the window thread while the owner is registered; -1 otherwise.
  virtual int RunOnUI(std::function<int()> fn) = 0;
  virtual void SetParamInt(const char* key, int value) = 0;
  virtual void SetParamString(const char* key, const std::string& value) = 0;
  virtual void SetParamValue(const char* key, const Json::Value& value) = 0;
  virtual bool HasParam(const char* key) = 0;
  virtual bool GetParamInt(const char* key, int& value) = 0;
  virtual bool GetParamString(const char* key, std::string& value) = 0;
  virtual bool GetParamValue(const char* key, Json::Value& value) = 0;
  // Cancels the action if it is still parked; its completion gets code.
  virtual bool Cancel(int code) = 0;
  virtual bool IsCancelled() = 0;
  // Gives up the caller's reference and waits up to timeoutMs for the action
  // to be destroyed; true when it was.
  virtual bool Wait(unsigned timeoutMs) = 0;
  virtual void AttachObject(IObjRef* object) = 0;
  virtual void DetachObject(IObjRef* object) = 0;
};

class CActionBase : public TObjRefImpl<IAction>, public CLockBase {
 public:
  explicit CActionBase(IActionCallback* owner);

  void OnFinalRelease() override;
  int GetId() override { return m_id; }
  void Run(std::function<int()> task, bool urgent) override;
  void SetCallback(std::function<void(int)> callback) override;
  int RunOnUI(std::function<int()> fn) override;
  void SetParamInt(const char* key, int value) override;
  void SetParamString(const char* key, const std::string& value) override;
  void SetParamValue(const char* key, const Json::Value& value) override;
  bool HasParam(const char* key) override;
  bool GetParamInt(const char* key, int& value) override;
  bool GetParamString(const char* key, std::string& value) override;
  bool GetParamValue(const char* key, Json::Value& value) override;
  bool Cancel(int code) override;
  bool IsCancelled() override { return m_cancelled; }
  bool Wait(unsigned timeoutMs) override;
  void AttachObject(IObjRef* object) override;
  void DetachObject(IObjRef* object) override;
  virtual void SetParamUInt(const char* key, unsigned int value);
  virtual void SetParamFloat(const char* key, float value);
  virtual void SetParamDouble(const char* key, double value);

  // For the factory.
  IActionCallback* Owner() const { return m_owner; }
  std::function<void(int)> Callback();
  int RunTask();
  void MarkCancelled() { m_cancelled = true; }

 protected:
  ~CActionBase() override;

 private:
  struct WaitEvent {
    CMutex mutex;
    std::condition_variable cv;
    bool signalled TW_GUARDED_BY(mutex) = false;
  };

  template <typename T>
  void SetParam(const char* key, T&& value);

  int m_id;
  std::function<int()> m_task TW_GUARDED_BY(this);
  std::function<void(int)> m_callback TW_GUARDED_BY(this);
  IActionCallback* m_owner;
  Json::Value m_params TW_GUARDED_BY(this);
  // Attached and detached from one thread, the one holding the action;
  // released when the last reference goes. Not locked.
  std::list<IObjRef*> m_attached;
  std::atomic<bool> m_cancelled{false};
  std::shared_ptr<WaitEvent> m_waitEvent TW_GUARDED_BY(this);
};

}  // namespace Action
