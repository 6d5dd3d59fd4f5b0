#pragma once
// Request bodies read as the real server reads them (Go's encoding/json
// through gin): the first JSON value is taken, keys match fields without
// regard to case, and a body that is not one gives the real error text.
#include <string>
#include <vector>

#include <json/json.h>

namespace fake_ollama {

// kAny is taken as it comes: its own reader checks it (keep_alive, whose Go
// type reads a number or a string).
enum class FieldKind { kString, kBool, kArray, kObject, kAny };

struct RequestField {
  // goType names the Go type in a type error when it is not plain "string"
  // or "bool": "[]api.Message", "map[string]interface {}".
  constexpr RequestField(const char* fieldName, FieldKind fieldKind,
                         const char* fieldGoType = nullptr)
      : name(fieldName), kind(fieldKind), goType(fieldGoType) {}
  const char* name;  // the JSON key, "model"
  FieldKind kind;
  const char* goType;
};

// Reads body as Go decodes into the struct goType ("PullRequest") with the
// fields given, filling *out with the fields found. False with *error set:
// "missing request body" for no value at all, Go's syntax error ("invalid
// character 'x' looking for beginning of value", "unexpected EOF") or type
// error ("json: cannot unmarshal number into Go struct field
// PullRequest.model of type string").
bool DecodeRequest(const std::string& body, const std::string& goType,
                   const std::vector<RequestField>& fields, Json::Value* out, std::string* error);

// Go's syntax check of the first JSON value in text: "" when it is whole,
// else the error text. *end is where the value ends.
std::string CheckJsonSyntax(const std::string& text, std::size_t* end);

}  // namespace fake_ollama
