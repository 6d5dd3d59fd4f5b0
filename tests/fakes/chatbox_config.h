#pragma once
// What the stand-in chat client reads from Chatbox's settings file: the
// Ollama model it talks to and the host it reaches the runner at.
#include <filesystem>
#include <string>

namespace fake_chatbox {

struct ChatTarget {
  std::string model;
  std::string host;
};

// $XDG_CONFIG_HOME/xyz.chatboxapp.app/config.json (default ~/.config).
std::filesystem::path SettingsFile();

// Older files: settings.ollamaModel and settings.ollamaHost. From
// configVersion 10 on: settings.defaultChatModel.model and
// settings.providers.ollama.apiHost. Missing or unreadable: empty fields.
ChatTarget ReadChatTarget(const std::filesystem::path& file);

// "model=<m> host=<h>", with control characters shown as '?'.
std::string DescribeTarget(const ChatTarget& target);

}  // namespace fake_chatbox
