#include <install/chatbox_settings.h>

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
  if (settings == nullptr || !ApplyProviders(*settings, model, host)) return false;
  if (ChatboxLayoutOf(merged) != ChatboxLayout::kProviders && !ApplyFlat(*settings, model, host)) {
    return false;
  }
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
