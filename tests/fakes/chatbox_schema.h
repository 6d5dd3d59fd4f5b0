#pragma once
// The settings schema of the current Chatbox client (1.20): its defaults and
// how it parses the settings it holds before saving them. Keys the schema
// does not know are dropped; a value of the wrong type is dropped, replaced
// by its fallback, or makes the whole parse fail, key by key as the client's
// own schema says.
#include <optional>
#include <string>
#include <vector>

#include <json/value.h>

namespace fake_chatbox {

// The client's defaults.settings() (desktop).
Json::Value CurrentDefaultSettings();

// The parse the client runs on the settings it holds. nullopt where the
// client's parse throws (a required key missing or of the wrong type).
std::optional<Json::Value> ParseCurrentSettings(const Json::Value& settings);

// The top-level keys the schema knows, in its order.
std::vector<std::string> CurrentSettingsKeys();

// object[key], or null when `object` is not an object (never throws).
const Json::Value& Member(const Json::Value& object, const char* key);

// JavaScript truthiness of a JSON value (absent counts as null).
bool Truthy(const Json::Value& value);

}  // namespace fake_chatbox
