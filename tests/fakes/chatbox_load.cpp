#include <tests/fakes/chatbox_load.h>

#include <cmath>
#include <memory>

#include <json/json.h>
#include <tests/fakes/chatbox_migrate.h>
#include <tests/fakes/chatbox_schema.h>

namespace fake_chatbox {

namespace {

constexpr int kCurrentVersion = 14;
constexpr int kLegacyVersion = 6;
// Versions below this one kept every store in config.json; the current
// desktop client moves everything but these three keys out of it.
constexpr int kLastFileStoreVersion = 12;
// The settings store's own version, saved inside the settings.
constexpr int kSettingsStoreVersion = 2;

// A configVersion that is not a whole number counts as none.
int ConfigVersionOf(const Json::Value& file) {
  const Json::Value& v = Member(file, "configVersion");
  if (v.isInt()) return v.asInt();
  if (v.isUInt() || v.isUInt64()) return kCurrentVersion;  // beyond int: up to date
  if (v.isInt64()) return -1;                              // far below zero
  if (v.isDouble() && std::floor(v.asDouble()) == v.asDouble()) {
    return v.asDouble() > 0 ? kCurrentVersion : -1;  // whole but huge
  }
  return 0;
}

Json::Value ParseJson(const char* text) {
  Json::Value value;
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  reader->parse(text, text + std::char_traits<char>::length(text), &value, &error);
  return value;
}

// 1.9.8's defaults.settings(): flat provider keys, OpenAI selected.
const Json::Value& LegacyDefaults() {
  static const Json::Value defaults = ParseJson(R"({
    "aiProvider": "openai", "openaiKey": "", "apiHost": "https://api.openai.com",
    "dalleStyle": "vivid", "imageGenerateNum": 3, "openaiUseProxy": false,
    "azureApikey": "", "azureDeploymentName": "", "azureDeploymentNameOptions": [],
    "azureDalleDeploymentName": "dall-e-3", "azureEndpoint": "", "chatglm6bUrl": "",
    "model": "gpt-4o", "openaiCustomModelOptions": [], "temperature": 0.7, "topP": 1,
    "openaiMaxContextMessageCount": 20,
    "claudeApiKey": "", "claudeApiHost": "https://api.anthropic.com",
    "claudeModel": "claude-3-5-sonnet-20241022",
    "geminiAPIKey": "", "geminiAPIHost": "https://generativelanguage.googleapis.com",
    "geminiModel": "gemini-1.5-pro-latest",
    "ollamaHost": "http://127.0.0.1:11434", "ollamaModel": "",
    "groqAPIKey": "", "groqModel": "llama3-70b-8192",
    "deepseekAPIKey": "", "deepseekModel": "deepseek-chat",
    "siliconCloudKey": "", "siliconCloudModel": "Qwen/Qwen2.5-7B-Instruct",
    "lmStudioHost": "http://127.0.0.1:1234/v1", "lmStudioModel": "",
    "perplexityApiKey": "", "perplexityModel": "llama-3.1-sonar-large-128k-online",
    "xAIKey": "", "xAIModel": "grok-beta", "customProviders": [],
    "showWordCount": false, "showTokenCount": false, "showTokenUsed": true,
    "showModelName": true, "showMessageTimestamp": false, "showFirstTokenLatency": false,
    "userAvatarKey": "", "defaultAssistantAvatarKey": "", "theme": 2, "language": "en",
    "fontSize": 12, "spellCheck": true, "defaultPrompt": "You are a helpful assistant.",
    "allowReportingAndTracking": true, "enableMarkdownRendering": true,
    "enableLaTeXRendering": true, "enableMermaidRendering": true,
    "injectDefaultMetadata": true, "autoPreviewArtifacts": false,
    "autoCollapseCodeBlock": true, "pasteLongTextAsAFile": true, "autoGenerateTitle": true,
    "autoLaunch": false, "autoUpdate": true,
    "shortcuts": {
      "quickToggle": "Alt+`", "inputBoxFocus": "mod+i", "inputBoxWebBrowsingMode": "mod+e",
      "newChat": "mod+n", "newPictureChat": "mod+shift+n", "sessionListNavNext": "mod+tab",
      "sessionListNavPrev": "mod+shift+tab", "sessionListNavTargetIndex": "mod",
      "messageListRefreshContext": "mod+r", "dialogOpenSearch": "mod+k",
      "inpubBoxSendMessage": "Enter", "inpubBoxSendMessageWithoutResponse": "Ctrl+Enter",
      "optionNavUp": "up", "optionNavDown": "down", "optionSelect": "enter"
    }
  })");
  return defaults;
}

// deepmerge(target, source) with arrays taken from the source.
Json::Value DeepMerge(const Json::Value& target, const Json::Value& source) {
  if (!target.isObject() || !source.isObject()) return source;
  Json::Value out = target;
  for (const std::string& key : source.getMemberNames()) {
    out[key] = out.isMember(key) ? DeepMerge(out[key], source[key]) : source[key];
  }
  return out;
}

// What the settings store hydrates from the saved settings.
Json::Value HydrateCurrent(const Json::Value& stored) {
  const Json::Value initial = *ParseCurrentSettings(CurrentDefaultSettings());
  if (!Truthy(stored) || !stored.isObject()) return initial;
  Json::Value state = stored;
  const Json::Value version = state.isMember("__version") ? state["__version"] : Json::Value(0);
  state.removeMember("__version");
  if (version.isNumeric() && !version.isBool() && version.asDouble() == kSettingsStoreVersion) {
    // Same store version: laid over the initial state as it is, unparsed.
    Json::Value held = initial;
    for (const std::string& key : state.getMemberNames()) held[key] = state[key];
    return held;
  }
  Json::Value merged = DeepMerge(CurrentDefaultSettings(), state);
  const bool fromZero = version.isNumeric() && !version.isBool() && version.asDouble() == 0;
  const bool fromOne = version.isNumeric() && !version.isBool() && version.asDouble() == 1;
  if (fromZero) {
    // A misspelt shortcut key of old stores.
    Json::Value& shortcuts = merged["shortcuts"];
    for (const char* name : {"SendMessage", "SendMessageWithoutResponse"}) {
      const std::string typo = std::string("inpubBox") + name;
      const std::string right = std::string("inputBox") + name;
      if (Truthy(Member(shortcuts, typo.c_str())))
        shortcuts[right] = Member(shortcuts, typo.c_str());
    }
  }
  if ((fromZero || fromOne) && Truthy(Member(merged, "licenseKey")) &&
      !Truthy(Member(merged, "licenseActivationMethod"))) {
    merged["licenseActivationMethod"] = "manual";
    merged["memorizedManualLicenseKey"] = merged["licenseKey"];
  }
  const Json::Value& extension = Member(merged, "extension");
  if (extension.isObject() && !Truthy(Member(extension, "documentParser"))) {
    merged["extension"]["documentParser"]["type"] = "local";
  }
  // A parse that throws leaves the store with its initial state.
  return ParseCurrentSettings(merged).value_or(initial);
}

LoadedStore LoadCurrent(Json::Value file) {
  LoadedStore loaded;
  const int version = ConfigVersionOf(file);
  if (version == 0) {
    // First run: straight to the current version, no migration, so nothing
    // of an older layout is ever read.
    loaded.firstRun = true;
    file["configVersion"] = kCurrentVersion;
  } else if (version < kCurrentVersion) {
    loaded.migrated = true;
    if (version > 0 && version < kLastFileStoreVersion) {
      for (const std::string& key : file.getMemberNames()) {
        if (key != "settings" && key != "configs" && key != "configVersion") {
          loaded.browser[key] = file[key];
          file.removeMember(key);
        }
      }
    }
    // A step that throws ends the migration where it stands.
    int step = version;
    for (; step < kCurrentVersion; ++step) {
      Json::Value& settings = file["settings"];
      if (step == 7 && !MigrateSessions7To8(loaded.browser)) break;
      if (step == 9) {
        const Json::Value before = settings;
        if (Truthy(settings) && settings.isObject()) {
          const std::optional<Json::Value> rebuilt = MigrateSettings9To10(settings);
          if (!rebuilt) break;
          settings = *rebuilt;
        }
        MigrateSessions9To10(loaded.browser, before);
      } else if (step == 10 && Truthy(settings) && settings.isObject()) {
        const Json::Value& size = Member(settings, "fontSize");
        if (size.isNumeric() && size.asDouble() == 16) {
          settings["fontSize"] = 14;
        }
      }
      if (settings.isNull()) file.removeMember("settings");
    }
    if (file["settings"].isNull()) file.removeMember("settings");
    file["configVersion"] = step;
  }
  loaded.held = HydrateCurrent(file["settings"]);
  file["settings"] = SettingsToSave(ClientVersion::V1_20_0, loaded.held);
  loaded.file = file;
  return loaded;
}

LoadedStore LoadLegacy(Json::Value file) {
  LoadedStore loaded;
  const int version = ConfigVersionOf(file);
  if (version < kLegacyVersion) {
    loaded.migrated = true;
    loaded.firstRun = version == 0;
    Json::Value& settings = file["settings"];
    if (version < 1 && Truthy(Member(settings, "showTokenCount"))) {
      settings["showTokenUsed"] = true;
      if (!Truthy(Member(settings, "apiHost"))) settings["apiHost"] = LegacyDefaults()["apiHost"];
    }
    if (settings.isNull()) file.removeMember("settings");
    file["configVersion"] = kLegacyVersion;
  }
  loaded.held = file["settings"].isObject() ? file["settings"] : LegacyDefaults();
  file["settings"] = SettingsToSave(ClientVersion::V1_9_8, loaded.held);
  loaded.file = file;
  return loaded;
}

}  // namespace

std::optional<ClientVersion> ClientVersionNamed(std::string_view name) {
  if (name.empty() || name == "1.20.0") return ClientVersion::V1_20_0;
  if (name == "1.9.8") return ClientVersion::V1_9_8;
  return std::nullopt;
}

int OwnConfigVersion(ClientVersion client) {
  return client == ClientVersion::V1_9_8 ? kLegacyVersion : kCurrentVersion;
}

LoadedStore LoadStore(ClientVersion client, const Json::Value& file) {
  const Json::Value root = file.isObject() ? file : Json::Value(Json::objectValue);
  return client == ClientVersion::V1_9_8 ? LoadLegacy(root) : LoadCurrent(root);
}

Json::Value SettingsToSave(ClientVersion client, const Json::Value& held) {
  if (client == ClientVersion::V1_9_8) {
    // Defaults under what is held, every key kept: this client has no schema.
    Json::Value out = LegacyDefaults();
    if (!held.isObject()) return out;
    for (const std::string& key : held.getMemberNames()) out[key] = held[key];
    if (held["shortcuts"].isObject()) {
      out["shortcuts"] = LegacyDefaults()["shortcuts"];
      for (const std::string& key : held["shortcuts"].getMemberNames()) {
        out["shortcuts"][key] = held["shortcuts"][key];
      }
    }
    return out;
  }
  // A parse that throws on save leaves the settings unparsed.
  Json::Value out = ParseCurrentSettings(held).value_or(held);
  out["__version"] = kSettingsStoreVersion;
  return out;
}

Json::Value FileWithSettings(ClientVersion client, const Json::Value& onDisk,
                             const Json::Value& held) {
  Json::Value file = onDisk.isObject() ? onDisk : Json::Value(Json::objectValue);
  file["settings"] = SettingsToSave(client, held);
  return file;
}

}  // namespace fake_chatbox
