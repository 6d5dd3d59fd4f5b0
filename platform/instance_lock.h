#pragma once
#include <memory>
#include <string>

namespace platform {

// A per-user named lock held for the life of the process (or the object).
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

enum class InstanceLockResult { Acquired, AlreadyHeld, Failed };

// Acquired: *lock holds it. AlreadyHeld: another process of this user holds
// that name. Failed: the lock could not be taken at all (its folder or file is
// not usable); the caller decides whether to go on without it.
InstanceLockResult AcquireInstanceLock(const std::wstring& name,
                                       std::unique_ptr<InstanceLock>* lock);

}  // namespace platform
