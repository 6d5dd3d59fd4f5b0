#include "user_sandbox.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

// Below the real user's root, named by process and a count so that test
// programs running side by side never share one.
constexpr wchar_t kScratchParent[] = L"Software\\Tidewell-tests";

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
  state_->path = ScratchKeyPath();
  HKEY scratch = nullptr;
  // Non-volatile: a volatile key may hold only volatile keys, and the code
  // under test creates ordinary ones.
  if (RegCreateKeyExW(HKEY_CURRENT_USER, state_->path.c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch,
                      nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create the scratch registry key");
  }
  const LSTATUS status = RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
  RegCloseKey(scratch);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
}

UserSandbox::~UserSandbox() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeW(HKEY_CURRENT_USER, state_->path.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);  // only once empty
}
