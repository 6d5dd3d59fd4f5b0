#pragma once
#include <mutex>

// Base of the classes that guard their state with one lock of their own.
// Re-entrant, so an operation that holds it may call another that takes it.
class CLockBase {
 public:
  void lock() { m_cs.lock(); }
  void unlock() { m_cs.unlock(); }
  bool try_lock() { return m_cs.try_lock(); }

 protected:
  CLockBase() = default;
  ~CLockBase() = default;

 private:
  std::recursive_mutex m_cs;
};

using CAutoLock = std::lock_guard<CLockBase>;
