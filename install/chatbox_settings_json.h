#pragma once
// The JSON member reads and writes the settings document's rules share: none
// throws, whatever the document holds.
#include <json/value.h>

#include <string>

namespace chatbox_json {

// The provider the runner is to the client.
inline constexpr char kProvider[] = "ollama";

// The member, or null when the value is no object or has no such member.
// (The library's own lookups throw on values that are no objects.)
const Json::Value* Member(const Json::Value& value, const char* name);
// Whether the value is there and is this string.
bool IsString(const Json::Value* value, const std::string& text);
// The member as a value of the kind asked for, made one when it is missing
// or null; null when it holds something else. parent must be an object.
Json::Value* MemberOfKind(Json::Value& parent, const char* name, Json::ValueType kind);
// Sets a member that is missing, null or a string; false for anything else.
bool SetString(Json::Value& parent, const char* name, const std::string& text);
// Whether a model list has an entry with the model's id.
bool ListsModel(const Json::Value& models, const std::string& model);
// The runner's model list, when the document has one.
Json::Value* RunnerModels(Json::Value& settings);
// JavaScript truthiness; an absent member is undefined.
bool Truthy(const Json::Value* value);
// A model list's entry for the id.
Json::Value ModelEntry(const Json::Value& id);

}  // namespace chatbox_json
