#pragma once
// Lock annotations that clang checks at compile time (-Wthread-safety): a
// member marked TW_GUARDED_BY(m) may be touched only while m is held, a
// function marked TW_REQUIRES(m) only be called with m held. Other compilers
// see nothing. libstdc++'s mutexes and lock guards carry no annotations, so
// annotated state is guarded by CMutex and locked with CMutexLock.
//
// Header only and free of the rest of the project: every layer uses it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#if defined(__clang__)
#define TW_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TW_THREAD_ANNOTATION(x)
#endif

// A class whose objects are locks.
#define TW_CAPABILITY(name) TW_THREAD_ANNOTATION(capability(name))
// A class that holds a lock for its own lifetime (RAII).
#define TW_SCOPED_CAPABILITY TW_THREAD_ANNOTATION(scoped_lockable)
// A member read or written only with the lock held.
#define TW_GUARDED_BY(x) TW_THREAD_ANNOTATION(guarded_by(x))
// A pointer member whose target is read or written only with the lock held.
#define TW_PT_GUARDED_BY(x) TW_THREAD_ANNOTATION(pt_guarded_by(x))
// The caller holds the lock(s) and keeps holding them.
#define TW_REQUIRES(...) TW_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The caller must not hold the lock(s): the function takes them itself.
#define TW_EXCLUDES(...) TW_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function takes the lock(s) and returns holding them.
#define TW_ACQUIRE(...) TW_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function gives up the lock(s) the caller held.
#define TW_RELEASE(...) TW_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The function takes the lock(s) when it returns the given value.
#define TW_TRY_ACQUIRE(...) TW_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// The function returns a reference to the lock.
#define TW_RETURN_CAPABILITY(x) TW_THREAD_ANNOTATION(lock_returned(x))
// Not checked: for code whose locking the analysis cannot follow. Say why
// beside each use.
#define TW_NO_THREAD_SAFETY_ANALYSIS TW_THREAD_ANNOTATION(no_thread_safety_analysis)

// std::mutex, annotated.
class TW_CAPABILITY("mutex") CMutex {
 public:
  CMutex() = default;
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  void lock() TW_ACQUIRE() { m_mutex.lock(); }
  void unlock() TW_RELEASE() { m_mutex.unlock(); }
  bool try_lock() TW_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

 private:
  friend class CMutexLock;
  std::mutex m_mutex;
};

// Holds a CMutex from construction to destruction, like std::unique_lock:
// it may be given up and taken again in between, and waited on with a
// std::condition_variable (which gives the lock up while it sleeps and holds
// it again when it returns).
//
// A wait's predicate runs with the lock held, but the analysis sees a lambda
// as a function of its own: mark it, e.g.
//   lock.Wait(m_cv, [this]() TW_REQUIRES(m_mutex) { return m_ready; });
class TW_SCOPED_CAPABILITY CMutexLock {
 public:
  explicit CMutexLock(CMutex& mutex) TW_ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
  ~CMutexLock() TW_RELEASE() {}
  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

  void Unlock() TW_RELEASE() { m_lock.unlock(); }
  void Lock() TW_ACQUIRE() { m_lock.lock(); }

  void Wait(std::condition_variable& cv) { cv.wait(m_lock); }
  template <class Predicate>
  void Wait(std::condition_variable& cv, Predicate ready) {
    cv.wait(m_lock, std::move(ready));
  }
  // False when the time ran out with the predicate still false.
  template <class Rep, class Period, class Predicate>
  bool WaitFor(std::condition_variable& cv, const std::chrono::duration<Rep, Period>& timeout,
               Predicate ready) {
    return cv.wait_for(m_lock, timeout, std::move(ready));
  }

 private:
  std::unique_lock<std::mutex> m_lock;
};
