#include <install/chatbox_install_location.h>

#include <filesystem>

#include <config/reg_key.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>

namespace {

bool Usable(const std::wstring& folder) {
  if (folder.empty()) return false;
  for (const wchar_t c : folder) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return platform::OsPath(folder).is_absolute();
}

bool IsSeparator(wchar_t c) { return c == L'/' || c == platform::PathSeparator(); }

}  // namespace

std::wstring ChatboxInstallLocation() {
  std::wstring folder;
  try {
    RegKey key;
    key.Open(platform::kCurrentUser, kChatboxUninstallKeyPath);
    folder = key.GetStringValue(L"InstallLocation");
  } catch (const winreg::RegException&) {
    return {};
  }
  if (!Usable(folder)) return {};
  // "C:\x\" names the folder "C:\x"; a root keeps its separator.
  const std::size_t root = platform::OsPath(folder).root_path().native().size();
  while (folder.size() > root && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

std::wstring ChatboxProgramAtInstallLocation() {
  const std::wstring folder = ChatboxInstallLocation();
  if (folder.empty()) return {};
  return folder + platform::PathSeparator() + L"Chatbox" + platform::ExecutableSuffix();
}
