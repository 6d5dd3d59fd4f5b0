#include <gtest/gtest.h>
#include <sys/stat.h>

#include <config/json_text.h>
#include <install/chatbox_client.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Settings as the client writes them: many members of the user's own.
const char kOldClientSettings[] = R"({
  "settings": {"aiProvider": "openai", "openaiKey": "sk-user", "ollamaHost": "http://10.0.0.5:11434",
               "ollamaModel": "llama3:8b", "theme": 1, "fontSize": 14},
  "myCopilots": [{"name": "翻译"}], "configVersion": 6
})";
const char kNewClientSettings[] = R"({
  "settings": {"defaultChatModel": {"provider": "openai", "model": "gpt-4o"},
               "providers": {"openai": {"apiKey": "sk-user"}, "ollama": {"apiHost": "http://old:1"}},
               "language": "en", "showWordCount": true},
  "configVersion": 12, "lastShownAboutDialogVersion": "1.9.8"
})";

class ChatboxSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = home_.data() / "Tidewell";
    fs::create_directories(work_);
    GetServiceState().workFolder = platform::WidePath(work_) + L"/";
    ::setenv("OLLAMA_HOST", "127.0.0.1:11999", 1);
  }
  void TearDown() override { ::unsetenv("OLLAMA_HOST"); }

  fs::path SettingsFile() const { return platform::OsPath(ChatboxSettingsFile()); }
  void WriteSettings(const std::string& text) {
    fs::create_directories(SettingsFile().parent_path());
    std::ofstream(SettingsFile()) << text;
  }
  Json::Value ReadSettings() const {
    Json::Value root;
    EXPECT_TRUE(ParseJson(ReadTextFile(SettingsFile()), root));
    return root;
  }

  TempHome home_;
  fs::path work_;
};

TEST_F(ChatboxSettings, UsersOwnSettingsSurviveAPullOldFormat) {
  WriteSettings(kOldClientSettings);
  WriteChatboxConfig("deepseek-r1:7b");
  Json::Value root = ReadSettings();
  EXPECT_EQ(root["settings"]["ollamaModel"].asString(), "deepseek-r1:7b");
  // The template's provider and host, everything else the user's.
  EXPECT_EQ(root["settings"]["aiProvider"].asString(), "ollama");
  EXPECT_EQ(root["settings"]["ollamaHost"].asString(), "http://127.0.0.1:11999");
  EXPECT_EQ(root["settings"]["openaiKey"].asString(), "sk-user");
  EXPECT_EQ(root["settings"]["fontSize"].asInt(), 14);
  EXPECT_EQ(root["myCopilots"][0]["name"].asString(), "翻译");
  EXPECT_EQ(root["configVersion"].asInt(), 6);
  // The file as first found is kept once; a second pull does not replace it.
  EXPECT_EQ(ReadTextFile(SettingsFile().string() + ".before-tidewell"), kOldClientSettings);
  WriteChatboxConfig("deepseek-r1:8b");
  EXPECT_EQ(ReadSettings()["settings"]["ollamaModel"].asString(), "deepseek-r1:8b");
  EXPECT_EQ(ReadTextFile(SettingsFile().string() + ".before-tidewell"), kOldClientSettings);
  EXPECT_TRUE(ChatboxConfigHasModel());
}

TEST_F(ChatboxSettings, UsersOwnSettingsSurviveAPullNewFormat) {
  WriteSettings(kNewClientSettings);
  WriteChatboxConfig("deepseek-r1:14b");
  Json::Value root = ReadSettings();
  EXPECT_EQ(root["settings"]["defaultChatModel"]["provider"].asString(), "ollama");
  EXPECT_EQ(root["settings"]["defaultChatModel"]["model"].asString(), "deepseek-r1:14b");
  EXPECT_EQ(root["settings"]["providers"]["ollama"]["apiHost"].asString(),
            "http://127.0.0.1:11999");
  EXPECT_EQ(root["settings"]["providers"]["openai"]["apiKey"].asString(), "sk-user");
  EXPECT_EQ(root["settings"]["language"].asString(), "en");
  EXPECT_FALSE(root["settings"].isMember("ollamaModel"));  // not the old member
  EXPECT_EQ(root["lastShownAboutDialogVersion"].asString(), "1.9.8");
  EXPECT_TRUE(ChatboxConfigHasModel());
}

TEST_F(ChatboxSettings, BuiltFromTheTemplateWhenThereIsNoUsableFile) {
  // No file at all: the default template lands in the work folder and is used.
  WriteChatboxConfig("deepseek-r1:1.5b");
  EXPECT_TRUE(fs::exists(work_ / "config.json"));
  EXPECT_EQ(ReadSettings()["settings"]["ollamaModel"].asString(), "deepseek-r1:1.5b");
  EXPECT_EQ(ReadSettings()["settings"]["aiProvider"].asString(), "ollama");

  // A damaged file is kept aside and replaced from a vendor's template.
  std::ofstream(work_ / "config.json") << R"({"settings": {"ollamaModel": "", "x": 1}})";
  WriteSettings("{ not json");
  fs::remove(SettingsFile().string() + ".before-tidewell");
  WriteChatboxConfig("deepseek-r1:7b");
  EXPECT_EQ(ReadSettings()["settings"]["x"].asInt(), 1);
  EXPECT_EQ(ReadTextFile(SettingsFile().string() + ".before-tidewell"), "{ not json");
}

TEST_F(ChatboxSettings, ModelOfAnotherTypeIsLeftAlone) {
  WriteSettings(R"({"settings": {"ollamaModel": 5}})");
  WriteChatboxConfig("deepseek-r1:7b");
  EXPECT_EQ(ReadSettings()["settings"]["ollamaModel"].asInt(), 5);
  EXPECT_FALSE(ChatboxConfigHasModel());
  WriteSettings(R"({"settings": {"ollamaModel": "abcde"}})");  // five bytes is no model
  EXPECT_FALSE(ChatboxConfigHasModel());
}

TEST_F(ChatboxSettings, WritersOnSeveralThreadsNeverLeaveAHalfFile) {
  WriteSettings(kOldClientSettings);
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i) {
    writers.emplace_back([i] {
      for (int j = 0; j < 10; ++j) WriteChatboxConfig("deepseek-r1:" + std::to_string(i) + "b");
    });
  }
  for (auto& t : writers) t.join();
  Json::Value root = ReadSettings();
  EXPECT_EQ(root["settings"]["openaiKey"].asString(), "sk-user");
  EXPECT_EQ(root["settings"]["ollamaModel"].asString().rfind("deepseek-r1:", 0), 0u);
}

}  // namespace
