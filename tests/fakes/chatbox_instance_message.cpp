#include <tests/fakes/chatbox_instance_message.h>

namespace fake_chatbox {
namespace {

constexpr const char* kStart = "START";

}  // namespace

std::string StartMessage(const std::string& workingFolder, const std::vector<std::string>& args) {
  std::string message = std::string(kStart) + '\0' + workingFolder;
  for (const std::string& arg : args) message += '\0' + arg;
  return message;
}

std::optional<std::vector<std::string>> StartArguments(const std::string& message) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = message.find('\0', start)) != std::string::npos; start = end + 1) {
    parts.push_back(message.substr(start, end - start));
  }
  parts.push_back(message.substr(start));
  if (parts.size() < 2 || parts[0] != kStart) return std::nullopt;
  return std::vector<std::string>(parts.begin() + 2, parts.end());
}

}  // namespace fake_chatbox
