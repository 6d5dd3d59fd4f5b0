// A named mutex in this session's namespace: every program of the user's
// logon session sees the same name, other sessions (fast user switching, a
// remote desktop) have their own. The mutex lives while a handle to it
// does, so it goes with the process that holds it, as a file lock does.
#include <platform/instance_lock.h>

#include <windows.h>

#include "handle.h"

namespace platform {
namespace {

class MutexInstanceLock final : public InstanceLock {
 public:
  explicit MutexInstanceLock(win32::Handle mutex) : mutex_(std::move(mutex)) {}

 private:
  win32::Handle mutex_;
};

}  // namespace

InstanceLockResult AcquireInstanceLock(const std::wstring& name,
                                       std::unique_ptr<InstanceLock>* lock) {
  // A backslash would name another namespace; a zero would cut the name.
  if (name.empty() || name.find_first_of(std::wstring(L"\\\0", 2)) != std::wstring::npos) {
    return InstanceLockResult::Failed;
  }
  const std::wstring full = L"Local\\" + name;
  ::SetLastError(ERROR_SUCCESS);
  win32::Handle mutex(::CreateMutexW(nullptr, FALSE, full.c_str()));
  const DWORD error = ::GetLastError();
  if (!mutex.valid()) return InstanceLockResult::Failed;  // e.g. another user's object
  if (error == ERROR_ALREADY_EXISTS) return InstanceLockResult::AlreadyHeld;
  *lock = std::make_unique<MutexInstanceLock>(std::move(mutex));
  return InstanceLockResult::Acquired;
}

}  // namespace platform
