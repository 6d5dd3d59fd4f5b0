#include <tests/fakes/chatbox_config.h>

#include <cstdlib>
#include <memory>

#include <json/json.h>
#include <platform/posix/file_util.h>

namespace fake_chatbox {

namespace {

std::string StringAt(const Json::Value& root, std::initializer_list<const char*> path) {
  const Json::Value* value = &root;
  for (const char* key : path) {
    if (!value->isObject()) return {};
    value = &(*value)[key];
  }
  return value->isString() ? value->asString() : std::string();
}

std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return text;
}

}  // namespace

std::filesystem::path SettingsFile() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    config = std::filesystem::path(home != nullptr ? home : ".") / ".config";
  }
  return config / "xyz.chatboxapp.app" / "config.json";
}

ChatTarget ReadChatTarget(const std::filesystem::path& file) {
  std::string text;
  if (platform::posix::ReadFileBytes(file, &text) != 0) return {};
  Json::Value root;
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &error) || !root.isObject()) {
    return {};
  }
  const Json::Value& version = root["configVersion"];
  if (version.isNumeric() && version.asDouble() >= 10) {
    return {StringAt(root, {"settings", "defaultChatModel", "model"}),
            StringAt(root, {"settings", "providers", "ollama", "apiHost"})};
  }
  return {StringAt(root, {"settings", "ollamaModel"}), StringAt(root, {"settings", "ollamaHost"})};
}

std::string DescribeTarget(const ChatTarget& target) {
  return "model=" + Printable(target.model) + " host=" + Printable(target.host);
}

}  // namespace fake_chatbox
