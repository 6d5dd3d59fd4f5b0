#include <install/chatbox_client.h>

#include <mutex>

#include <config/json_text.h>
#include <config/reg_key.h>
#include <install/file_helpers.h>
#include <install/install_layout.h>
#include <install/ollama_runner.h>
#include <install/process_helpers.h>
#include <install/text_helpers.h>
#include <platform/os_encoding.h>
#include <platform/process_lookup.h>
#include <service/service_state.h>

namespace {

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251";
constexpr wchar_t kBackupSuffix[] = L".before-tidewell";
// Newer client settings keep the model and host in other members.
constexpr int kNewSettingsVersion = 10;

// Several workers and the window thread write the settings: one at a time.
std::mutex g_settingsMutex;

bool IsNewFormat(const Json::Value& root) {
  const Json::Value& version = root["configVersion"];
  return version.isIntegral() && version.asInt64() >= kNewSettingsVersion;
}

// A member as an object, made one when it is missing; null when it holds
// something else (left alone).
Json::Value* ObjectMember(Json::Value& parent, const char* name) {
  if (!parent.isObject()) return nullptr;
  Json::Value& member = parent[name];
  if (member.isNull()) member = Json::Value(Json::objectValue);
  return member.isObject() ? &member : nullptr;
}

const Json::Value* Find(const Json::Value& root, std::initializer_list<const char*> path) {
  const Json::Value* at = &root;
  for (const char* name : path) {
    if (!at->isObject() || !at->isMember(name)) return nullptr;
    at = &(*at)[name];
  }
  return at;
}

std::string TemplateString(const Json::Value& templateRoot,
                           std::initializer_list<const char*> path) {
  const Json::Value* value = Find(templateRoot, path);
  return value != nullptr && value->isString() ? value->asString() : std::string();
}

bool ReadJsonObject(const std::wstring& path, Json::Value& root) {
  std::string text;
  return ReadWholeFile(path, text) && ParseJson(text, root) && root.isObject();
}

}  // namespace

void WriteChatboxSetupKey(const std::wstring& folder) {
  try {
    RegKey key(platform::kCurrentUser, kSetupKey);
    key.SetStringValue(L"InstallLocation", folder);
    key.SetStringValue(L"ShortcutName", L"Chatbox");
    key.SetDwordValue(L"InstallForAllUsers", 1);
  } catch (const winreg::RegException&) {
  }
}

void InstallChatbox() {
  const InstallLayout layout = MakeInstallLayout(GetServiceState().installFolder);
  if (!DirectoryExists(layout.chatboxFolder)) CreateDirectoryTree(layout.chatboxFolder);
  WriteChatboxSetupKey(layout.chatboxFolder);
  if (FileExists(layout.chatboxExecutable)) return;
  RunProcess(layout.chatboxSetup, {L"/S"}, true);
}

Json::Value DefaultChatboxSettings() {
  Json::Value root(Json::objectValue);
  Json::Value& settings = root["settings"];
  settings["aiProvider"] = "ollama";
  settings["ollamaHost"] = RunnerServerAddress();
  settings["ollamaModel"] = "";
  settings["language"] = "zh-Hans";
  return root;
}

bool EnsureChatboxSettingsTemplate(const std::wstring& workFolder) {
  const std::wstring path = ChatboxSettingsTemplate(workFolder);
  if (FileExists(path)) return true;
  if (workFolder.empty()) return false;
  std::string text;
  return WriteJson(DefaultChatboxSettings(), text) && WriteWholeFile(path, text);
}

void ApplyChatboxModel(Json::Value& root, const Json::Value& templateRoot, const std::string& tag) {
  Json::Value* settings = ObjectMember(root, "settings");
  if (settings == nullptr) return;
  const std::string model = Narrow936ToUtf8(tag);
  if (IsNewFormat(root)) {
    if (Json::Value* chosen = ObjectMember(*settings, "defaultChatModel")) {
      (*chosen)["provider"] = "ollama";
      (*chosen)["model"] = model;
    }
    std::string host = TemplateString(templateRoot, {"settings", "providers", "ollama", "apiHost"});
    if (host.empty()) host = TemplateString(templateRoot, {"settings", "ollamaHost"});
    if (!host.empty()) {
      Json::Value* providers = ObjectMember(*settings, "providers");
      if (Json::Value* ollama = providers ? ObjectMember(*providers, "ollama") : nullptr) {
        (*ollama)["apiHost"] = host;
      }
    }
    return;
  }
  // A model member of another type is someone else's: leave it.
  const Json::Value& current = (*settings)["ollamaModel"];
  if (current.isString() || current.isNull()) (*settings)["ollamaModel"] = model;
  const std::string provider = TemplateString(templateRoot, {"settings", "aiProvider"});
  if (!provider.empty()) (*settings)["aiProvider"] = provider;
  const std::string host = TemplateString(templateRoot, {"settings", "ollamaHost"});
  if (!host.empty()) (*settings)["ollamaHost"] = host;
}

void WriteChatboxConfig(const std::string& tag) {
  std::lock_guard<std::mutex> lock(g_settingsMutex);
  const std::wstring folder = ChatboxSettingsFolder();
  if (!DirectoryExists(folder)) CreateDirectoryTree(folder);
  const std::wstring file = ChatboxSettingsFile();
  const std::wstring workFolder = GetServiceState().workFolder;
  EnsureChatboxSettingsTemplate(workFolder);
  Json::Value templateRoot;
  if (!ReadJsonObject(ChatboxSettingsTemplate(workFolder), templateRoot)) {
    templateRoot = DefaultChatboxSettings();
  }

  std::string original;
  const bool haveFile = ReadWholeFile(file, original);
  // What was there before our first change is kept once beside it.
  const std::wstring backup = file + kBackupSuffix;
  if (haveFile && !original.empty() && !FileExists(backup)) WriteWholeFile(backup, original);
  Json::Value root;
  if (!haveFile || !ParseJson(original, root) || !root.isObject()) root = templateRoot;
  ApplyChatboxModel(root, templateRoot, tag);
  std::string text;
  if (WriteJson(root, text)) WriteWholeFile(file, text);
}

bool ChatboxConfigHasModel() {
  Json::Value root;
  if (!ReadJsonObject(ChatboxSettingsFile(), root)) return false;
  const Json::Value* model = IsNewFormat(root)
                                 ? Find(root, {"settings", "defaultChatModel", "model"})
                                 : Find(root, {"settings", "ollamaModel"});
  return model != nullptr && model->isString() && model->asString().size() > 5;
}

void KillProcessByName(const std::wstring& name) {
  if (const auto id = platform::FindProcessByName(platform::WideToOsNarrow(name))) {
    platform::TerminateProcessById(*id);
  }
}
