#pragma once
// A value read and written from several threads: every access takes a copy
// under a lock of its own, so a reader never sees a string half reallocated.
#include <utility>

#include <platform/thread_annotations.h>

template <class T>
class CGuarded {
 public:
  CGuarded() = default;
  CGuarded(T value) : m_value(std::move(value)) {}  // NOLINT: used like the value
  CGuarded(const CGuarded& other) : m_value(other.get()) {}
  CGuarded& operator=(const CGuarded& other) {
    if (this != &other) set(other.get());
    return *this;
  }
  CGuarded& operator=(T value) {
    set(std::move(value));
    return *this;
  }

  T get() const TW_EXCLUDES(m_mutex) {
    CMutexLock lock(m_mutex);
    return m_value;
  }
  void set(T value) TW_EXCLUDES(m_mutex) {
    CMutexLock lock(m_mutex);
    m_value = std::move(value);
  }
  operator T() const { return get(); }  // NOLINT: used like the value

 private:
  mutable CMutex m_mutex;
  T m_value TW_GUARDED_BY(m_mutex){};
};
