#pragma once
// Whole (not streamed) answers as the server's handlers write them: Go's
// JSON under its content type, and an error as {"error": text}.
#include <httplib.h>

#include <string>

#include <json/json.h>

namespace fake_ollama {

inline constexpr const char* kJsonType = "application/json; charset=utf-8";

Json::Value ErrorObject(const std::string& text);
void SendJson(httplib::Response& res, int status, const Json::Value& value);
void SendError(httplib::Response& res, int status, const std::string& text);

}  // namespace fake_ollama
