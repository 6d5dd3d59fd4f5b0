#include <install/installed_status.h>

#include <json/value.h>

#include <algorithm>
#include <filesystem>

#include <base/file_helpers.h>
#include <config/app_constants.h>
#include <install/chatbox_client.h>
#include <install/chatbox_settings.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <platform/disk_space.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <service/service_state.h>

namespace {

InstalledPart Measure(const std::wstring& path) {
  InstalledPart part;
  part.path = path;
  std::error_code ec;
  part.present = !path.empty() && std::filesystem::exists(
                                      std::filesystem::symlink_status(platform::OsPath(path), ec));
  part.bytes = part.present ? platform::SizeOnDisk(path) : 0;
  return part;
}

std::wstring ProductFolder(const std::wstring& parent) {
  return parent + platform::PathSeparator() + GetAppConstants().productFolderName;
}

std::wstring WorkFolder() {
  std::wstring folder = GetServiceState().workFolder;
  if (folder.empty()) return ProductFolder(platform::LocalAppDataFolder());
  // The state keeps it with a trailing separator.
  if (folder.back() == platform::PathSeparator()) folder.pop_back();
  return folder;
}

// Whether path lies below folder (compared as written, after normalising).
bool Below(const std::wstring& path, const std::wstring& folder) {
  const auto inner = platform::OsPath(path).lexically_normal();
  const auto outer = platform::OsPath(folder).lexically_normal();
  const auto rest = inner.lexically_relative(outer);
  return !rest.empty() && *rest.begin() != "..";
}

}  // namespace

InstalledStatus CollectInstalledStatus(const InstallLayout& layout, long timeoutMs) {
  InstalledStatus status;
  status.runner = Measure(layout.ollamaFolder);
  status.runnerProgram = FileExists(layout.ollamaExecutable);
  status.modelStore = Measure(layout.modelStore);
  status.chatClient = Measure(layout.chatboxFolder);
  status.package = Measure(PackageArchivePath());
  status.settings = Measure(ProductFolder(platform::RoamingAppDataFolder()));
  status.work = Measure(WorkFolder());
  if (Below(status.package.path, status.work.path)) {
    status.work.bytes -= std::min(status.work.bytes, status.package.bytes);
  }

  const std::string address = RunnerServerAddress();
  status.runnerVersion = RunnerVersion(address, timeoutMs);
  if (status.runnerVersion) {
    if (const auto models = ListRunnerModels(address, timeoutMs)) {
      status.modelsListed = true;
      Json::Value settings;
      const bool haveSettings = ReadChatboxSettings(settings);
      for (const RunnerModel& model : *models) {
        InstalledModel entry;
        entry.name = model.name;
        entry.size = model.size;
        entry.modifiedAt = model.modifiedAt;
        entry.usedByChatClient = haveSettings && ChatboxSettingsUseModel(settings, model.name);
        status.models.push_back(std::move(entry));
      }
    }
  }

  for (const InstalledPart* part : {&status.runner, &status.modelStore, &status.chatClient,
                                    &status.package, &status.settings, &status.work}) {
    status.totalBytes += part->bytes;
  }
  return status;
}
