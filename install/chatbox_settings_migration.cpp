// The client's steps from a flat settings document to version 10.
#include <install/chatbox_settings_migration.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <config/json_text.h>
#include <install/chatbox_settings.h>
#include <install/chatbox_settings_json.h>

namespace {

using chatbox_json::IsString;
using chatbox_json::Member;
using chatbox_json::ModelEntry;
using chatbox_json::Truthy;

// The current client's own steps from a flat document to version 10 follow,
// read with JavaScript's rules.

// How lodash's uniq compares: by value, but every parsed object or array is
// an object of its own.
bool SameValue(const Json::Value& a, const Json::Value& b) {
  if (a.isNumeric() && b.isNumeric()) {
    return a.asDouble() == b.asDouble();
  }
  if (a.isObject() || a.isArray() || a.type() != b.type()) return false;
  return a == b;
}

void CopyPresent(Json::Value& to, const char* toKey, const Json::Value& from, const char* fromKey) {
  // A missing key is undefined there, which the saved JSON leaves out.
  if (const Json::Value* value = Member(from, fromKey)) to[toKey] = *value;
}

// uniqBy(list, 'modelId'): the first entry with an id stays.
void AddUnique(Json::Value& models, const Json::Value& entry) {
  const Json::Value* id = Member(entry, "modelId");
  for (const Json::Value& listed : models) {
    const Json::Value* other = Member(listed, "modelId");
    if ((id == nullptr && other == nullptr) ||
        (id != nullptr && other != nullptr && SameValue(*id, *other))) {
      return;
    }
  }
  models.append(entry);
}

// The OpenAI models the client we install starts a migrated OpenAI list with.
const Json::Value& BuiltinOpenAiModels() {
  static const Json::Value models = [] {
    Json::Value value;
    ParseJson(R"([
      {"modelId": "gpt-5.4", "capabilities": ["vision", "tool_use", "reasoning"],
       "contextWindow": 1050000, "maxOutput": 128000},
      {"modelId": "gpt-5-mini", "capabilities": ["vision", "tool_use", "reasoning"],
       "contextWindow": 400000, "maxOutput": 128000},
      {"modelId": "gpt-4o", "capabilities": ["vision", "tool_use"],
       "contextWindow": 128000, "maxOutput": 16384},
      {"modelId": "gpt-4o-mini", "capabilities": ["vision", "tool_use"],
       "contextWindow": 128000, "maxOutput": 16384},
      {"modelId": "o4-mini", "capabilities": ["vision", "tool_use", "reasoning"],
       "contextWindow": 200000, "maxOutput": 100000},
      {"modelId": "o3-pro", "capabilities": ["vision", "tool_use", "reasoning"],
       "contextWindow": 200000, "maxOutput": 100000},
      {"modelId": "o3-mini", "capabilities": ["vision", "tool_use", "reasoning"],
       "contextWindow": 200000, "maxOutput": 100000},
      {"modelId": "text-embedding-3-small", "type": "embedding"}
    ])",
              value);
    return value;
  }();
  return models;
}

// Providers the step opens from flat keys alone: any of the keys set opens
// it, each carried over under its new name.
struct FlatProvider {
  const char* id;
  std::vector<std::pair<const char*, const char*>> keys;  // new name, flat key
};

const std::vector<FlatProvider>& FlatProviders() {
  static const std::vector<FlatProvider> providers = {
      {"claude", {{"apiKey", "claudeApiKey"}, {"apiHost", "claudeApiHost"}}},
      {"gemini", {{"apiKey", "geminiAPIKey"}, {"apiHost", "geminiAPIHost"}}},
      {"deepseek", {{"apiKey", "deepseekAPIKey"}}},
      {"siliconflow", {{"apiKey", "siliconCloudKey"}}},
      {"xAI", {{"apiKey", "xAIKey"}}},
      {"ollama", {{"apiHost", "ollamaHost"}}},
      {"lm-studio", {{"apiHost", "lmStudioHost"}}},
      {"perplexity", {{"apiKey", "perplexityApiKey"}}},
      {"groq", {{"apiKey", "groqAPIKey"}}},
      {"chatglm-6b", {{"apiKey", "chatglmApiKey"}}},
  };
  return providers;
}

void AddOpenAi(const Json::Value& settings, Json::Value& providers) {
  if (!Truthy(Member(settings, "openaiKey")) && !Truthy(Member(settings, "apiHost"))) return;
  const Json::Value* custom = Member(settings, "openaiCustomModel");
  const Json::Value* options = Member(settings, "openaiCustomModelOptions");
  // Options that are no list throw inside the client's try: no OpenAI then.
  if (Truthy(options) && !options->isArray()) return;
  Json::Value openai(Json::objectValue);
  CopyPresent(openai, "apiHost", settings, "apiHost");
  CopyPresent(openai, "apiKey", settings, "openaiKey");
  if (Truthy(custom) || Truthy(options)) {
    Json::Value models(Json::arrayValue);
    for (const Json::Value& builtin : BuiltinOpenAiModels()) AddUnique(models, builtin);
    if (Truthy(custom)) AddUnique(models, ModelEntry(*custom));
    if (Truthy(options)) {
      for (const Json::Value& option : *options) AddUnique(models, ModelEntry(option));
    }
    openai["models"] = models;
  }
  providers["openai"] = openai;
}

// False where the client's step throws before it saves anything.
bool AddAzure(const Json::Value& settings, Json::Value& providers) {
  const Json::Value* options = Member(settings, "azureDeploymentNameOptions");
  bool open = Truthy(options);
  for (const char* key :
       {"azureEndpoint", "azureDalleDeploymentName", "azureApikey", "azureApiVersion"}) {
    open = open || Truthy(Member(settings, key));
  }
  if (!open) return true;
  if (options != nullptr && !options->isNull() && !options->isArray()) return false;
  Json::Value azure(Json::objectValue);
  CopyPresent(azure, "apiKey", settings, "azureApikey");
  CopyPresent(azure, "endpoint", settings, "azureEndpoint");
  CopyPresent(azure, "dalleDeploymentName", settings, "azureDalleDeploymentName");
  CopyPresent(azure, "apiVersion", settings, "azureApiVersion");
  if (options != nullptr && options->isArray()) {
    Json::Value models(Json::arrayValue);
    for (const Json::Value& option : *options) models.append(ModelEntry(option));
    azure["models"] = models;
  }
  providers["azure"] = azure;
  return true;
}

// The step's settings: the flat ones kept, providers built from them anew.
// False where we would not end where the client does: its step throws, or
// it would turn the old client's own custom providers into new ones (which
// that client, still reading this file, could no longer use).
bool ProvidersFromFlatKeys(Json::Value& settings) {
  const Json::Value* custom = Member(settings, "customProviders");
  if (Truthy(custom) && !(custom->isArray() && custom->empty())) return false;
  Json::Value providers(Json::objectValue);
  AddOpenAi(settings, providers);
  if (!AddAzure(settings, providers)) return false;
  for (const FlatProvider& flat : FlatProviders()) {
    bool open = false;
    for (const auto& [name, key] : flat.keys) open = open || Truthy(Member(settings, key));
    if (!open) continue;
    Json::Value provider(Json::objectValue);
    for (const auto& [name, key] : flat.keys) CopyPresent(provider, name, settings, key);
    providers[flat.id] = provider;
  }
  settings["providers"] = providers;
  settings["customProviders"] = Json::Value(Json::arrayValue);
  return true;
}

std::string SessionKey(const std::string& id) { return "session:" + id; }

// The step to 8: every session of chat-sessions also under a key of its
// own, listed by its meta data (chat-sessions stays for the old client).
bool SplitSessions(Json::Value& root) {
  const Json::Value* sessions = Member(root, "chat-sessions");
  if (sessions == nullptr || sessions->isNull()) return true;
  if (!sessions->isArray()) return false;
  if (sessions->empty()) return true;
  Json::Value list(Json::arrayValue);
  Json::Value split(Json::objectValue);
  for (const Json::Value& session : *sessions) {
    const Json::Value* id = Member(session, "id");
    if (id == nullptr || !id->isString()) return false;
    Json::Value meta(Json::objectValue);
    for (const char* key : {"id", "name", "starred", "hidden", "assistantAvatarKey", "picUrl",
                            "backgroundImage", "type"}) {
      CopyPresent(meta, key, session, key);
    }
    list.append(meta);
    split[SessionKey(id->asString())] = session;
  }
  for (const std::string& key : split.getMemberNames()) root[key] = split[key];
  root["chat-sessions-list"] = list;
  return true;
}

// own ?? global: a session's own value, else the settings' one (null there
// is kept, a missing one stays undefined).
const Json::Value* OwnOrGlobal(const Json::Value* own, const Json::Value& settings,
                               const std::string& key) {
  const Json::Value* value = own ? Member(*own, key.c_str()) : nullptr;
  if (value != nullptr && !value->isNull()) return value;
  return Member(settings, key.c_str());
}

const std::vector<std::pair<std::string, std::string>>& SessionModelKeys() {
  static const std::vector<std::pair<std::string, std::string>> keys = {
      {"chatbox-ai", "chatboxAIModel"},  {"openai", "model"},
      {"claude", "claudeModel"},         {"gemini", "geminiModel"},
      {"ollama", "ollamaModel"},         {"lm-studio", "lmStudioModel"},
      {"deepseek", "deepseekModel"},     {"siliconflow", "siliconCloudModel"},
      {"azure", "azureDeploymentName"},  {"xAI", "xAIModel"},
      {"perplexity", "perplexityModel"}, {"groq", "groqModel"},
      {"chatglm-6b", "chatglmModel"},    {"custom", "model"},
  };
  return keys;
}

// A session's settings in the form of version 10; false where the client
// would not convert it the way we can say.
bool ConvertSessionSettings(const Json::Value& session, const Json::Value& settings,
                            Json::Value& converted) {
  const Json::Value* own = Member(session, "settings");
  converted = Json::Value(Json::objectValue);
  if (IsString(Member(session, "type"), "chat")) {
    const Json::Value* provider = OwnOrGlobal(own, settings, "aiProvider");
    std::string modelKey = "undefined";  // how JavaScript names a missing key
    if (provider != nullptr) {
      if (!provider->isString()) return false;
      const auto& keys = SessionModelKeys();
      const auto found = std::find_if(keys.begin(), keys.end(), [&](const auto& entry) {
        return entry.first == provider->asString();
      });
      if (found == keys.end()) return false;
      modelKey = found->second;
      converted["provider"] = *provider;
    }
    const std::pair<const char*, std::string> fields[] = {
        {"modelId", modelKey},
        {"maxContextMessageCount", "maxContextMessageCount"},
        {"temperature", "temperature"},
        {"topP", "topP"}};
    for (const auto& [name, key] : fields) {
      if (const Json::Value* value = OwnOrGlobal(own, settings, key)) converted[name] = *value;
    }
    return true;
  }
  const Json::Value* global = Member(settings, "aiProvider");
  converted["provider"] = "chatbox-ai";
  for (const char* kept : {"chatbox-ai", "openai", "azure"}) {
    if (IsString(global, kept)) converted["provider"] = kept;
  }
  converted["modelId"] = "DALL-E-3";
  const Json::Value* count = own ? Member(*own, "imageGenerateNum") : nullptr;
  converted["imageGenerateNum"] = count && !count->isNull() ? *count : Json::Value(3);
  const Json::Value* style = own ? Member(*own, "dalleStyle") : nullptr;
  converted["dalleStyle"] = style && !style->isNull() ? *style : Json::Value("vivid");
  return true;
}

// The sessions' part of the step to 10, with the settings before it.
bool ConvertSessions(Json::Value& root, const Json::Value& settings) {
  const Json::Value* list = Member(root, "chat-sessions-list");
  if (list == nullptr || list->isNull()) return true;
  if (!list->isArray()) return false;
  Json::Value converted(Json::objectValue);
  for (const Json::Value& meta : *list) {
    const Json::Value* metaId = Member(meta, "id");
    if (metaId == nullptr || !metaId->isString()) return false;
    const Json::Value* session = Member(root, SessionKey(metaId->asString()).c_str());
    const Json::Value* id = session ? Member(*session, "id") : nullptr;
    if (!Truthy(id)) continue;
    if (!id->isString()) return false;
    Json::Value next = *session;
    if (!ConvertSessionSettings(*session, settings, next["settings"])) return false;
    converted[SessionKey(id->asString())] = next;
  }
  for (const std::string& key : converted.getMemberNames()) root[key] = converted[key];
  return true;
}

}  // namespace

bool CarryToProviders(Json::Value& root) {
  const Json::Value* version = Member(root, "configVersion");
  if (version == nullptr || !version->isInt() || version->asInt() < 3 ||
      version->asInt() >= kChatboxProvidersVersion) {
    return false;
  }
  Json::Value carried = root;
  const Json::Value before = carried["settings"];
  if (version->asInt() <= 7 && !SplitSessions(carried)) return false;
  if (!ProvidersFromFlatKeys(carried["settings"]) || !ConvertSessions(carried, before)) {
    return false;
  }
  carried["configVersion"] = kChatboxProvidersVersion;
  root = std::move(carried);
  return true;
}
