#include <install/installed_status.h>

#include <json/value.h>

#include <algorithm>
#include <filesystem>

#include <base/file_helpers.h>
#include <base/process_helpers.h>
#include <base/text_helpers.h>
#include <catalogue/model_catalogue.h>
#include <config/app_constants.h>
#include <install/chatbox_client.h>
#include <install/chatbox_settings.h>
#include <install/install_record.h>
#include <install/ollama_runner.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <install/space_text.h>
#include <platform/disk_space.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <platform/whole_file.h>
#include <service/service_state.h>

namespace {

InstalledPart Locate(const std::wstring& path) {
  InstalledPart part;
  part.path = path;
  std::error_code ec;
  part.present = !path.empty() && std::filesystem::exists(
                                      std::filesystem::symlink_status(platform::OsPath(path), ec));
  return part;
}

void Measure(InstalledPart& part) {
  part.bytes = part.present ? platform::SizeOnDisk(part.path) : 0;
}

// Whether path lies below folder (compared as written, after normalising).
bool Below(const std::wstring& path, const std::wstring& folder) {
  const auto inner = platform::OsPath(path).lexically_normal();
  const auto outer = platform::OsPath(folder).lexically_normal();
  const auto rest = inner.lexically_relative(outer);
  return !rest.empty() && *rest.begin() != "..";
}

}  // namespace

InstalledStatus InstalledPartsAt(const InstallLayout& layout) {
  InstalledStatus status;
  status.runner = Locate(layout.ollamaFolder);
  status.runnerProgram = FileExists(layout.ollamaExecutable);
  status.modelStore = Locate(layout.modelStore);
  status.chatClient = Locate(layout.chatboxFolder);
  status.package = Locate(PackageArchivePath());
  status.settings = Locate(SettingsFolder());
  status.work = Locate(WorkFolder());
  return status;
}

InstalledStatus CollectInstalledStatus(const InstallLayout& layout, long timeoutMs) {
  InstalledStatus status = InstalledPartsAt(layout);
  for (InstalledPart* part : {&status.runner, &status.modelStore, &status.chatClient,
                              &status.package, &status.settings, &status.work}) {
    Measure(*part);
  }
  if (Below(status.package.path, status.work.path)) {
    status.work.bytes -= std::min(status.work.bytes, status.package.bytes);
  }

  // Only our own server speaks for this installation: another program on
  // the port would report its own runner and models.
  const std::string address = RunnerServerAddress();
  if (RunnerServerIsOurs(layout)) status.runnerVersion = RunnerVersion(address, timeoutMs);
  status.serverAnswers = status.runnerVersion.has_value();
  if (!status.serverAnswers && status.runnerProgram)
    status.runnerVersion = RunnerProgramVersion(layout);
  if (status.chatClient.present) status.chatClientVersion = ChatClientVersion(layout);
  if (status.serverAnswers) {
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

std::optional<std::string> RunnerProgramVersion(const InstallLayout& layout) {
  // Without a server it prints "Warning: client version is X"; with one of
  // another version too, after the server's "ollama version is Y"; with one
  // of its own version only "ollama version is X".
  std::optional<std::string> version;
  for (std::string line :
       RunCommandLinesWithin({platform::WideToOsNarrow(layout.ollamaExecutable), "--version"},
                             kRunnerCommandTimeoutMs)) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (const std::string_view mark : {"Warning: client version is ", "ollama version is "}) {
      if (line.rfind(mark, 0) != 0 || line.size() == mark.size()) continue;
      if (!version || mark.front() == 'W') version = line.substr(mark.size());
    }
  }
  return version;
}

std::optional<std::string> ChatClientVersion(const InstallLayout& layout) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(platform::OsPath(layout.chatboxAppFolder), ec)) {
    if (entry.path().extension() != ".desktop" || !entry.is_regular_file(ec) ||
        entry.is_symlink(ec)) {
      continue;
    }
    std::string text;
    if (!platform::ReadWholeFileExact(entry.path(), text) || text.size() > 64 * 1024) continue;
    constexpr std::string_view key = "\nX-AppImage-Version=";
    const std::size_t at = ("\n" + text).find(key);
    if (at == std::string::npos) continue;
    std::string value = text.substr(at + key.size() - 1);
    value = value.substr(0, value.find_first_of("\r\n"));
    if (!value.empty()) return value;
  }
  return std::nullopt;
}

InstalledState StateOf(const InstalledStatus& status) {
  const bool anything = status.runner.present || status.modelStore.present ||
                        status.chatClient.present || status.package.present;
  if (!anything) return InstalledState::Nothing;
  // Models are known only while our server answers; a store with files in it
  // counts when it does not.
  const bool models = status.modelsListed ? !status.models.empty() : status.modelStore.bytes > 0;
  return status.runnerProgram && models && status.chatClient.present ? InstalledState::Complete
                                                                     : InstalledState::Partial;
}

namespace {

std::string Size(std::uint64_t bytes) { return WideToUtf8(FormatFreeSpace(bytes)); }

void PartLine(std::string& out, const char* name, const InstalledPart& part) {
  out += std::string(name) + ": ";
  out += part.present ? Size(part.bytes) : "not there";
  if (!part.path.empty()) out += "  " + platform::WideToOsNarrow(part.path);
  out += "\n";
}

}  // namespace

std::string InstalledStatusReport(const InstalledStatus& status, const std::string& serverAddress) {
  std::string out;
  PartLine(out, "runner", status.runner);
  out += "runner program: ";
  out += status.runnerProgram ? "present" : "missing";
  out += "\nrunner server: ";
  out += status.serverAnswers ? serverAddress + " (version " + *status.runnerVersion + ")"
                              : serverAddress + " (not answering)";
  out += "\n";
  if (!status.serverAnswers && status.runnerVersion) {
    out += "runner version: " + *status.runnerVersion + "\n";
  }
  PartLine(out, "model store", status.modelStore);
  if (!status.modelsListed) {
    out += "models: not listed (the runner server does not answer)\n";
  } else if (status.models.empty()) {
    out += "models: none\n";
  }
  for (const InstalledModel& model : status.models) {
    out += "model: " + model.name + "  " + Size(model.size) + "  " + model.modifiedAt;
    if (model.usedByChatClient) out += "  (the chat client's)";
    out += "\n";
  }
  PartLine(out, "chat client", status.chatClient);
  if (status.chatClientVersion) out += "chat client version: " + *status.chatClientVersion + "\n";
  PartLine(out, "kept package", status.package);
  PartLine(out, "settings", status.settings);
  PartLine(out, "work folder", status.work);
  out += "total: " + Size(status.totalBytes) + "\n";
  return out;
}

std::string CatalogueModelOnDisk(const InstallLayout& layout, const std::string& preferred) {
  const InstallRecord record = LoadInstallRecord();
  if (!record.IsOurs(layout.ollamaExecutable) || !record.MayUse(layout.modelStore)) return {};
  std::string found;
  for (int row = 1; row <= kModelCount; ++row) {
    const std::string number = std::to_string(row);
    const std::string tag = WideToUtf8(ModelTagForNumber(number));
    const std::size_t colon = tag.find(':');
    // The runner's own layout: manifests/<registry>/library/<name>/<size>.
    const std::filesystem::path manifest = platform::OsPath(layout.modelStore) / "manifests" /
                                           "registry.ollama.ai" / "library" /
                                           tag.substr(0, colon) / tag.substr(colon + 1);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(manifest, ec))) continue;
    found = number;
    if (number == preferred) break;
  }
  return found;
}
