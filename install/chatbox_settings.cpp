#include <install/chatbox_settings.h>

#include <algorithm>
#include <utility>

#include <install/chatbox_settings_json.h>
#include <install/chatbox_settings_migration.h>

namespace {

using chatbox_json::IsString;
using chatbox_json::kProvider;
using chatbox_json::ListsModel;
using chatbox_json::Member;
using chatbox_json::MemberOfKind;
using chatbox_json::ModelEntry;
using chatbox_json::RunnerModels;
using chatbox_json::SetString;
using chatbox_json::Truthy;

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
