#include <tests/fakes/ollama_json.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

namespace fake_ollama {

namespace {

// The order of the fields in the runner's answer structs (ProgressResponse,
// ListModelResponse, ModelDetails); one order fits them all.
constexpr const char* kFieldOrder[] = {"name",           "model",
                                       "modified_at",    "size",
                                       "status",         "digest",
                                       "total",          "completed",
                                       "parent_model",   "format",
                                       "family",         "families",
                                       "parameter_size", "quantization_level",
                                       "details",        "error",
                                       "version",        "models"};

std::size_t Rank(const std::string& key) {
  const auto* found = std::find(std::begin(kFieldOrder), std::end(kFieldOrder), key);
  return static_cast<std::size_t>(found - std::begin(kFieldOrder));
}

std::string Quoted(const std::string& text) {
  Json::StreamWriterBuilder builder;
  builder["emitUTF8"] = true;
  const std::string quoted = Json::writeString(builder, Json::Value(text));
  std::string out;
  for (const char c : quoted) {
    if (c == '<') {
      out += "\\u003c";
    } else if (c == '>') {
      out += "\\u003e";
    } else if (c == '&') {
      out += "\\u0026";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string GoJson(const Json::Value& value) {
  switch (value.type()) {
    case Json::objectValue: {
      std::vector<std::string> keys = value.getMemberNames();
      std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return Rank(a) < Rank(b);
      });
      std::string out = "{";
      for (const auto& key : keys) {
        if (out.size() > 1) out += ",";
        out += Quoted(key) + ":" + GoJson(value[key]);
      }
      return out + "}";
    }
    case Json::arrayValue: {
      std::string out = "[";
      for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        if (i > 0) out += ",";
        out += GoJson(value[i]);
      }
      return out + "]";
    }
    case Json::stringValue:
      return Quoted(value.asString());
    default: {
      Json::StreamWriterBuilder builder;
      builder["indentation"] = "";
      return Json::writeString(builder, value);
    }
  }
}

bool ParseJson(const std::string& text, Json::Value* value) {
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), value, &error);
}

}  // namespace fake_ollama
