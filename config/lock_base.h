#pragma once
#include <mutex>

#include <platform/thread_annotations.h>

// Base of the classes that guard their state with one lock of their own.
// Re-entrant, so an operation that holds it may call another that takes it.
// A derived class marks its guarded members TW_GUARDED_BY(this). The
// analysis takes the lock for an ordinary one: a function that takes it
// twice itself is reported; a call into another locking function is not.
class TW_CAPABILITY("mutex") CLockBase {
 public:
  void lock() TW_ACQUIRE() { m_cs.lock(); }
  void unlock() TW_RELEASE() { m_cs.unlock(); }
  bool try_lock() TW_TRY_ACQUIRE(true) { return m_cs.try_lock(); }

 protected:
  CLockBase() = default;
  ~CLockBase() = default;

 private:
  std::recursive_mutex m_cs;
};

// Holds a CLockBase for its own lifetime.
class TW_SCOPED_CAPABILITY CAutoLock {
 public:
  explicit CAutoLock(CLockBase& lock) TW_ACQUIRE(lock) : m_lock(lock) { m_lock.lock(); }
  ~CAutoLock() TW_RELEASE() { m_lock.unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CLockBase& m_lock;
};
