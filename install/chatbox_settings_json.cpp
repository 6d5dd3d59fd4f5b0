// The JSON member reads and writes the settings document's rules share.
#include <install/chatbox_settings_json.h>

#include <string>

namespace chatbox_json {

const Json::Value* Member(const Json::Value& value, const char* name) {
  if (!value.isObject()) return nullptr;
  return value.find(name, name + std::char_traits<char>::length(name));
}

bool IsString(const Json::Value* value, const std::string& text) {
  return value != nullptr && value->isString() && value->asString() == text;
}

Json::Value* MemberOfKind(Json::Value& parent, const char* name, Json::ValueType kind) {
  Json::Value& member = parent[name];
  if (member.isNull()) member = Json::Value(kind);
  return member.type() == kind ? &member : nullptr;
}

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

Json::Value* RunnerModels(Json::Value& settings) {
  if (!settings.isMember("providers") || !settings["providers"].isObject()) return nullptr;
  Json::Value& providers = settings["providers"];
  if (!providers.isMember(kProvider) || !providers[kProvider].isObject()) return nullptr;
  Json::Value& runner = providers[kProvider];
  if (!runner.isMember("models") || !runner["models"].isArray()) return nullptr;
  return &runner["models"];
}

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

Json::Value ModelEntry(const Json::Value& id) {
  Json::Value entry(Json::objectValue);
  entry["modelId"] = id;
  return entry;
}

}  // namespace chatbox_json
