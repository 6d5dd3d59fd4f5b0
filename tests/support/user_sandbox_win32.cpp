#include "user_sandbox.h"

#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

// Below the real user's root, named by process and a count so that test
// programs running side by side never share one.
constexpr wchar_t kScratchParent[] = L"Software\\Tidewell-tests";

// The root can be redirected once: a sandbox made inside another (a test's
// own inside its TempHome's) shares the outer one.
std::atomic<int> g_depth{0};

std::wstring ScratchKeyPath() {
  static std::atomic<unsigned> count{0};
  return std::wstring(kScratchParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(count++);
}

}  // namespace

struct UserSandbox::State {
  std::wstring path;
};

UserSandbox::UserSandbox() : state_(std::make_unique<State>()) {
  if (g_depth++ > 0) return;
  state_->path = ScratchKeyPath();
  HKEY scratch = nullptr;
  // Non-volatile: a volatile key may hold only volatile keys, and the code
  // under test creates ordinary ones.
  if (RegCreateKeyExW(HKEY_CURRENT_USER, state_->path.c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch,
                      nullptr) != ERROR_SUCCESS) {
    --g_depth;
    throw std::runtime_error("cannot create the scratch registry key");
  }
  const LSTATUS status = RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
  RegCloseKey(scratch);
  if (status != ERROR_SUCCESS) {
    --g_depth;
    throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
  }
  // The stand-ins the test starts follow it there (platform/scratch_user_root.h).
  SetEnvironmentVariableW(L"TIDEWELL_SCRATCH_USER_KEY", state_->path.c_str());
}

UserSandbox::~UserSandbox() {
  --g_depth;
  if (state_->path.empty()) return;
  SetEnvironmentVariableW(L"TIDEWELL_SCRATCH_USER_KEY", nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeW(HKEY_CURRENT_USER, state_->path.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);  // only once empty
}

// The redirected root is the scratch key: emptying it takes every key.
void RemoveUserKeyStore() { RegDeleteTreeW(HKEY_CURRENT_USER, nullptr); }

// The key made anew with a DACL that lets everyone read it and no one change
// it, so that opening it for writing is refused.
void BlockUserEnvironment() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Environment");
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Environment", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the environment key");
  }
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = KEY_READ;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
  PACL acl = nullptr;
  DWORD status = SetEntriesInAclW(1, &access, nullptr, &acl);
  if (status == ERROR_SUCCESS) {
    status = SetSecurityInfo(key, SE_REGISTRY_KEY,
                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             nullptr, nullptr, acl, nullptr);
  }
  LocalFree(acl);
  FreeSid(everyone);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot protect the environment key");
}
