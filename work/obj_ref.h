#pragma once
// Intrusive reference counting for objects shared between the window thread
// and the workers: the count starts at 1 for the creator.
#include <atomic>

struct IObjRef {
  virtual long AddRef() = 0;
  virtual long Release() = 0;
  virtual void OnFinalRelease() = 0;

 protected:
  virtual ~IObjRef() = default;
};

template <class T>
class TObjRefImpl : public T {
 public:
  long AddRef() override { return ++m_cRef; }
  long Release() override {
    const long count = --m_cRef;
    if (count == 0) this->OnFinalRelease();
    return count;
  }
  void OnFinalRelease() override { delete this; }

 protected:
  TObjRefImpl() = default;
  ~TObjRefImpl() override = default;

 private:
  std::atomic<long> m_cRef{1};
};
