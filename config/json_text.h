#pragma once
// JSON text in and out with the library's default settings.
#include <json/value.h>

#include <string>

// Parses UTF-8 JSON text; false for empty text, a parse error or any exception.
bool ParseJson(const std::string& text, Json::Value& value);
// Serialises with the library's default (indented) settings.
bool WriteJson(const Json::Value& value, std::string& text);
