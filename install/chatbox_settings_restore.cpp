// The settings rule uninstall follows: what we put into the document goes
// back as the user had it.
#include <install/chatbox_settings.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include <install/chatbox_settings_json.h>

namespace {

using chatbox_json::kProvider;
using chatbox_json::Member;
using chatbox_json::RunnerModels;

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
