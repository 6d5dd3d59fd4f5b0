#include <config/json_text.h>

#include <json/json.h>

#include <sstream>

bool ParseJson(const std::string& text, Json::Value& value) {
  if (text.empty()) return false;
  try {
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream stream(text);
    return Json::parseFromStream(builder, stream, &value, &errors);
  } catch (const std::exception&) {
    return false;
  }
}

bool WriteJson(const Json::Value& value, std::string& text) {
  try {
    Json::StreamWriterBuilder builder;
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    std::ostringstream stream;
    if (writer->write(value, &stream) != 0 || !stream) return false;
    text = stream.str();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
