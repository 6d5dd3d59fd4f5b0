#pragma once
// JSON written as the real server's Go encoder writes it: no blanks, the
// fields in their struct order, '<', '>' and '&' escaped.
#include <string>

#include <json/json.h>

namespace fake_ollama {

std::string GoJson(const Json::Value& value);

// A JSON text read whole; false when it is not JSON.
bool ParseJson(const std::string& text, Json::Value* value);

}  // namespace fake_ollama
