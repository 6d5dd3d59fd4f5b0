#include <tests/fakes/ollama_reply.h>

#include <tests/fakes/ollama_json.h>

namespace fake_ollama {

Json::Value ErrorObject(const std::string& text) {
  Json::Value message(Json::objectValue);
  message["error"] = text;
  return message;
}

void SendJson(httplib::Response& res, int status, const Json::Value& value) {
  res.status = status;
  res.set_content(GoJson(value), kJsonType);
}

void SendError(httplib::Response& res, int status, const std::string& text) {
  SendJson(res, status, ErrorObject(text));
}

}  // namespace fake_ollama
