#pragma once
// The client's settings file in a private home, shared by the tests of how
// it is written.
#include <gtest/gtest.h>

#include <config/json_text.h>
#include <install/chatbox_client.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace chatbox_test {

namespace fs = std::filesystem;

inline constexpr char kHost[] = "http://127.0.0.1:11999";

inline Json::Value Parsed(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(ParseJson(text, value)) << text;
  return value;
}

inline constexpr char kUserSettings[] = R"({
  "configVersion": 14,
  "settings": {"theme": 1, "language": "en",
               "providers": {"openai": {"apiKey": "sk-user"},
                             "ollama": {"apiHost": "http://10.0.0.5:11434", "models": [{"modelId": "llama3:8b"}]}},
               "defaultChatModel": {"provider": "openai", "model": "gpt-4o"}}
})";

class ChatboxConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    GetServiceState().installFolder = std::wstring();  // no client folder of ours to stop
    fs::create_directories(File().parent_path());
  }

  static fs::path File() { return platform::OsPath(ChatboxSettingsFile()); }
  static fs::path Backup(int number) { return platform::OsPath(ChatboxSettingsBackup(number)); }
  static void Write(const std::string& text) { std::ofstream(File(), std::ios::binary) << text; }
  static Json::Value Read() {
    Json::Value root;
    EXPECT_TRUE(ParseJson(ReadTextFile(File()), root));
    return root;
  }

  TempHome home_;
};

}  // namespace chatbox_test
