#include <install/install_layout.h>

#include <install/installation.h>

#include <config/app_constants.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <service/service_state.h>

namespace {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return folder + platform::PathSeparator() + name;
}

std::wstring Program(const std::wstring& folder, const std::wstring& name) {
  return Join(folder, name + platform::ExecutableSuffix());
}

}  // namespace

InstallLayout MakeInstallLayout(const std::wstring& installFolder) {
  InstallLayout layout;
  layout.installFolder = installFolder;
  layout.unpackFolder = Join(installFolder, L"deepseek");
  layout.installersFolder = Join(layout.unpackFolder, L"deepseek");
  layout.ollamaSetup = Program(layout.installersFolder, L"OllamaSetup");
  layout.chatboxSetup = Program(layout.installersFolder, L"Chatbox-1.9.8-Setup");
  layout.ollamaFolder = Join(installFolder, L"ollama_location");
  layout.ollamaExecutable = Program(layout.ollamaFolder, L"ollama");
  layout.modelStore = Join(installFolder, L"ollama_models");
  layout.chatboxFolder = Join(installFolder, L"chatbox_location");
  layout.chatboxExecutable = Program(layout.chatboxFolder, L"Chatbox");
  layout.chatboxAppFolder = Join(layout.chatboxFolder, L"app");
  layout.chatboxProgram = Join(layout.chatboxAppFolder, L"AppRun");
  return layout;
}

InstallLayout CurrentInstallLayout() { return MakeInstallLayout(GetServiceState().installFolder); }

Installation TakeInstallation() {
  const CServiceState& state = GetServiceState();
  return Installation{CurrentInstallLayout(), state.packageUrl, state.packageSha256,
                      state.packageUrls, {}, state.packageVersion};
}

std::wstring DefaultInstallFolder() {
  std::wstring parent = platform::DefaultProgramParent();
  // A drive's root ("C:\\") keeps its separator; the folder is joined once.
  if (!parent.empty() && parent.back() == platform::PathSeparator()) parent.pop_back();
  return Join(parent, L"AlTidewell");
}

std::wstring PackageArchivePath() {
  // Bulky data: the per-user local data folder, never the settings folder.
  return Join(Join(platform::LocalAppDataFolder(), GetAppConstants().productFolderName),
              L"deepseek.zip");
}

std::wstring SettingsFolder() {
  return Join(platform::RoamingAppDataFolder(), GetAppConstants().productFolderName);
}

std::wstring WorkFolder() {
  std::wstring folder = GetServiceState().workFolder;
  if (folder.empty())
    return Join(platform::LocalAppDataFolder(), GetAppConstants().productFolderName);
  // The state keeps it with a trailing separator.
  if (folder.back() == platform::PathSeparator()) folder.pop_back();
  return folder;
}

std::wstring ChatboxSettingsFolder() {
  return Join(platform::RoamingAppDataFolder(), L"xyz.chatboxapp.app");
}

std::wstring ChatboxSettingsFile() { return Join(ChatboxSettingsFolder(), L"config.json"); }
