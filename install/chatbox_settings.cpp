#include <install/chatbox_settings.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include <config/json_text.h>

namespace {

constexpr char kProvider[] = "ollama";

// The member, or null when the value is no object or has no such member.
// (The library's own lookups throw on values that are no objects.)
const Json::Value* Member(const Json::Value& value, const char* name) {
  if (!value.isObject()) return nullptr;
  return value.find(name, name + std::char_traits<char>::length(name));
}

bool IsString(const Json::Value* value, const std::string& text) {
  return value != nullptr && value->isString() && value->asString() == text;
}

// The member as a value of the kind asked for, made one when it is missing
// or null; null when it holds something else. parent must be an object.
Json::Value* MemberOfKind(Json::Value& parent, const char* name, Json::ValueType kind) {
  Json::Value& member = parent[name];
  if (member.isNull()) member = Json::Value(kind);
  return member.type() == kind ? &member : nullptr;
}

// Sets a member that is missing, null or a string; false for anything else.
bool SetString(Json::Value& parent, const char* name, const std::string& text) {
  const Json::Value* current = Member(parent, name);
  if (current != nullptr && !current->isNull() && !current->isString()) return false;
  parent[name] = text;
  return true;
}

bool ListsModel(const Json::Value& models, const std::string& model) {
  for (const Json::Value& entry : models) {
    if (IsString(Member(entry, "modelId"), model)) return true;
  }
  return false;
}

bool ApplyProviders(Json::Value& settings, const std::string& model, const std::string& host) {
  Json::Value* providers = MemberOfKind(settings, "providers", Json::objectValue);
  Json::Value* runner =
      providers ? MemberOfKind(*providers, kProvider, Json::objectValue) : nullptr;
  Json::Value* models = runner ? MemberOfKind(*runner, "models", Json::arrayValue) : nullptr;
  Json::Value* chosen = MemberOfKind(settings, "defaultChatModel", Json::objectValue);
  if (models == nullptr || chosen == nullptr) return false;
  // The user's list keeps its order and entries; ours goes at the end.
  if (!ListsModel(*models, model)) {
    Json::Value entry(Json::objectValue);
    entry["modelId"] = model;
    models->append(entry);
  }
  return SetString(*runner, "apiHost", host) && SetString(*chosen, "provider", kProvider) &&
         SetString(*chosen, "model", model);
}

bool ApplyFlat(Json::Value& settings, const std::string& model, const std::string& host) {
  return SetString(settings, "aiProvider", kProvider) && SetString(settings, "ollamaHost", host) &&
         SetString(settings, "ollamaModel", model);
}

bool ProvidersUseModel(const Json::Value& settings, const std::string& model) {
  const Json::Value* runner = Member(settings, "providers");
  runner = runner ? Member(*runner, kProvider) : nullptr;
  const Json::Value* models = runner ? Member(*runner, "models") : nullptr;
  const Json::Value* chosen = Member(settings, "defaultChatModel");
  return models != nullptr && models->isArray() && ListsModel(*models, model) &&
         chosen != nullptr && IsString(Member(*chosen, "provider"), kProvider) &&
         IsString(Member(*chosen, "model"), model);
}

bool FlatUsesModel(const Json::Value& settings, const std::string& model) {
  return IsString(Member(settings, "aiProvider"), kProvider) &&
         IsString(Member(settings, "ollamaModel"), model);
}

// The runner's model list, when the document has one.
Json::Value* RunnerModels(Json::Value& settings) {
  if (!settings.isMember("providers") || !settings["providers"].isObject()) return nullptr;
  Json::Value& providers = settings["providers"];
  if (!providers.isMember(kProvider) || !providers[kProvider].isObject()) return nullptr;
  Json::Value& runner = providers[kProvider];
  if (!runner.isMember("models") || !runner["models"].isArray()) return nullptr;
  return &runner["models"];
}

bool DropFromList(Json::Value& models, const std::string& model) {
  Json::Value kept(Json::arrayValue);
  for (const Json::Value& entry : models) {
    if (!IsString(Member(entry, "modelId"), model)) kept.append(entry);
  }
  if (kept.size() == models.size()) return false;
  models = std::move(kept);
  return true;
}

bool DropProviders(Json::Value& settings, const std::string& model, const std::string& next) {
  bool changed = false;
  Json::Value* models = RunnerModels(settings);
  if (models != nullptr) changed = DropFromList(*models, model);
  const Json::Value* chosen = Member(settings, "defaultChatModel");
  if (chosen == nullptr || !IsString(Member(*chosen, "provider"), kProvider) ||
      !IsString(Member(*chosen, "model"), model)) {
    return changed;
  }
  if (next.empty()) {
    settings.removeMember("defaultChatModel");
    return true;
  }
  settings["defaultChatModel"]["model"] = next;
  // The client offers the runner's models from its list only.
  if (models != nullptr && !ListsModel(*models, next)) {
    Json::Value entry(Json::objectValue);
    entry["modelId"] = next;
    models->append(entry);
  }
  return true;
}

bool DropFlat(Json::Value& settings, const std::string& model, const std::string& next) {
  if (!IsString(Member(settings, "ollamaModel"), model)) return false;
  settings["ollamaModel"] = next;
  return true;
}

// The current client's own steps from a flat document to version 10 follow,
// read with JavaScript's rules.

// JavaScript truthiness; an absent member is undefined.
bool Truthy(const Json::Value* value) {
  if (value == nullptr) return false;
  switch (value->type()) {
    case Json::nullValue:
      return false;
    case Json::booleanValue:
      return value->asBool();
    case Json::stringValue:
      return !value->asString().empty();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
      return value->asDouble() != 0;
    default:
      return true;
  }
}

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

Json::Value ModelEntry(const Json::Value& id) {
  Json::Value entry(Json::objectValue);
  entry["modelId"] = id;
  return entry;
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

// The flat document as the client we install leaves it at version 10: the
// step to 8 (versions before it) and the step to 10. From 3 on these are the
// only steps it takes up to 10 on a desktop; the one to 3 moves data of its
// own browser store, out of our reach. False, with root unchanged, where we
// would not end where the client does.
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

}  // namespace

ChatboxLayout ChatboxLayoutOf(const Json::Value& root) {
  const Json::Value* version = Member(root, "configVersion");
  // Any number is compared as the client compares it (a double); numbers
  // beyond 64 bits arrive here as doubles too.
  if (version == nullptr || !version->isNumeric()) return ChatboxLayout::kBoth;
  const double value = version->asDouble();
  if (value >= kChatboxProvidersVersion) return ChatboxLayout::kProviders;
  return value == 0 ? ChatboxLayout::kBoth : ChatboxLayout::kFlat;
}

Json::Value NewChatboxSettings(const std::string& model, const std::string& host) {
  Json::Value root(Json::objectValue);
  root["configVersion"] = kChatboxCurrentVersion;
  Json::Value& settings = root["settings"] = Json::Value(Json::objectValue);
  settings["language"] = "zh-Hans";
  ApplyProviders(settings, model, host);
  ApplyFlat(settings, model, host);
  return root;
}

bool MergeChatboxSettings(Json::Value& root, const std::string& model, const std::string& host) {
  if (!root.isObject()) return false;
  Json::Value merged = root;
  Json::Value* settings = MemberOfKind(merged, "settings", Json::objectValue);
  if (settings == nullptr) return false;
  const ChatboxLayout layout = ChatboxLayoutOf(merged);
  if (layout != ChatboxLayout::kProviders && !ApplyFlat(*settings, model, host)) return false;
  // The current client would rebuild the providers of a flat document from
  // its flat keys, our model list dropped: it gets the document as that
  // step leaves it (with our flat choice), so the list we add stays.
  if (layout == ChatboxLayout::kFlat) CarryToProviders(merged);
  if (!ApplyProviders(merged["settings"], model, host)) return false;
  root = std::move(merged);
  return true;
}

bool ChatboxSettingsUseModel(const Json::Value& root, const std::string& model) {
  const Json::Value* settings = Member(root, "settings");
  if (settings == nullptr || model.empty()) return false;
  switch (ChatboxLayoutOf(root)) {
    case ChatboxLayout::kProviders:
      return ProvidersUseModel(*settings, model);
    case ChatboxLayout::kFlat:
      return FlatUsesModel(*settings, model);
    case ChatboxLayout::kBoth:
      break;
  }
  return ProvidersUseModel(*settings, model) && FlatUsesModel(*settings, model);
}

bool DropChatboxModel(Json::Value& root, const std::string& model,
                      const std::vector<std::string>& remaining) {
  if (model.empty() || !root.isObject() || !root.isMember("settings") ||
      !root["settings"].isObject()) {
    return false;
  }
  std::string next;
  for (const std::string& candidate : remaining) {
    if (!candidate.empty() && candidate != model) {
      next = candidate;
      break;
    }
  }
  Json::Value& settings = root["settings"];
  const bool providers = DropProviders(settings, model, next);
  const bool flat = DropFlat(settings, model, next);
  return providers || flat;
}

bool ChatboxUserChoseOtherModel(const Json::Value& root, const std::vector<std::string>& ours) {
  const Json::Value* settings = Member(root, "settings");
  if (settings == nullptr) return false;
  const auto ourModel = [&](const Json::Value* provider, const Json::Value* model) {
    if (!IsString(provider, kProvider) || model == nullptr || !model->isString()) return false;
    return std::find(ours.begin(), ours.end(), model->asString()) != ours.end();
  };
  if (ChatboxLayoutOf(root) == ChatboxLayout::kFlat) {
    const Json::Value* provider = Member(*settings, "aiProvider");
    return Truthy(provider) && !ourModel(provider, Member(*settings, "ollamaModel"));
  }
  const Json::Value* chosen = Member(*settings, "defaultChatModel");
  if (chosen == nullptr || !chosen->isObject() || !Truthy(Member(*chosen, "model"))) return false;
  return !ourModel(Member(*chosen, "provider"), Member(*chosen, "model"));
}

bool ChatboxSettingsListModel(const Json::Value& root, const std::string& model) {
  const Json::Value* settings = Member(root, "settings");
  if (settings == nullptr || model.empty()) return false;
  if (ChatboxLayoutOf(root) == ChatboxLayout::kFlat) return FlatUsesModel(*settings, model);
  const Json::Value* runner = Member(*settings, "providers");
  runner = runner ? Member(*runner, kProvider) : nullptr;
  const Json::Value* models = runner ? Member(*runner, "models") : nullptr;
  return models != nullptr && models->isArray() && ListsModel(*models, model);
}

bool ListChatboxModel(Json::Value& root, const std::string& model, const std::string& host) {
  if (!root.isObject() || model.empty() || ChatboxLayoutOf(root) == ChatboxLayout::kFlat) {
    return false;
  }
  Json::Value listed = root;
  Json::Value* settings = MemberOfKind(listed, "settings", Json::objectValue);
  Json::Value* providers =
      settings ? MemberOfKind(*settings, "providers", Json::objectValue) : nullptr;
  Json::Value* runner =
      providers ? MemberOfKind(*providers, kProvider, Json::objectValue) : nullptr;
  Json::Value* models = runner ? MemberOfKind(*runner, "models", Json::arrayValue) : nullptr;
  if (models == nullptr || !SetString(*runner, "apiHost", host)) return false;
  if (!ListsModel(*models, model)) models->append(ModelEntry(Json::Value(model)));
  root = std::move(listed);
  return true;
}

namespace {

// The member at the path below root, or null.
const Json::Value* At(const Json::Value& root, std::initializer_list<const char*> path) {
  const Json::Value* value = &root;
  for (const char* name : path) {
    if (!value->isObject() || !value->isMember(name)) return nullptr;
    value = &(*value)[name];
  }
  return value;
}

// Puts the member at the path back as original has it, or takes it out
// where original has none. A parent the client made something else of is
// left alone.
void PutBack(Json::Value& current, const Json::Value& original,
             std::initializer_list<const char*> path) {
  Json::Value* parent = &current;
  const char* last = nullptr;
  std::size_t depth = 0;
  for (const char* name : path) {
    if (++depth == path.size()) {
      last = name;
      break;
    }
    if (!parent->isObject() || !parent->isMember(name)) return;
    parent = &(*parent)[name];
  }
  if (!parent->isObject()) return;
  if (const Json::Value* was = At(original, path)) {
    (*parent)[last] = *was;
  } else {
    parent->removeMember(last);
  }
}

bool ListedIn(const Json::Value* models, const Json::Value& entry) {
  if (models == nullptr || !models->isArray()) return false;
  for (const Json::Value& each : *models) {
    if (each == entry) return true;
  }
  return false;
}

// Removes the member when it is an empty object that original did not have.
void DropIfAdded(Json::Value& current, const Json::Value& original,
                 std::initializer_list<const char*> parentPath, const char* name) {
  const Json::Value* parent = At(current, parentPath);
  if (parent == nullptr || !parent->isObject()) return;
  const Json::Value* member = Member(*parent, name);
  if (member == nullptr || !member->isObject() || !member->empty()) return;
  Json::Value* target = &current;
  for (const char* step : parentPath) target = &(*target)[step];
  const Json::Value* had = At(original, parentPath);
  if (had == nullptr || Member(*had, name) == nullptr) target->removeMember(name);
}

}  // namespace

void RestoreChatboxChoice(Json::Value& current, const Json::Value& original,
                          const std::vector<std::string>& ours) {
  for (const char* flat : {"aiProvider", "ollamaHost", "ollamaModel", "defaultChatModel"}) {
    PutBack(current, original, {"settings", flat});
  }
  PutBack(current, original, {"settings", "providers", kProvider, "apiHost"});
  const Json::Value* settings = Member(current, "settings");
  if (Json::Value* models = settings != nullptr && settings->isObject()
                                ? RunnerModels(current["settings"])
                                : nullptr) {
    const Json::Value* had = At(original, {"settings", "providers", kProvider, "models"});
    Json::Value kept(Json::arrayValue);
    for (const Json::Value& entry : *models) {
      const Json::Value* id = Member(entry, "modelId");
      const bool ourModel = id != nullptr && id->isString() &&
                            std::find(ours.begin(), ours.end(), id->asString()) != ours.end();
      if (!ourModel || ListedIn(had, entry)) kept.append(entry);
    }
    *models = kept;
    if (models->empty() && had == nullptr) {
      current["settings"]["providers"][kProvider].removeMember("models");
    }
  }
  DropIfAdded(current, original, {"settings", "providers"}, kProvider);
  DropIfAdded(current, original, {"settings"}, "providers");
}
