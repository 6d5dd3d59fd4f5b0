#pragma once
#include <memory>
#include <string>

namespace platform {

// A system-wide named lock held for the life of the process (or the object).
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

enum class InstanceLockResult { Acquired, AlreadyHeld, Failed };

// Acquired: *lock holds it. AlreadyHeld: another process holds that name.
InstanceLockResult AcquireInstanceLock(const std::wstring& name,
                                       std::unique_ptr<InstanceLock>* lock);

}  // namespace platform
