#include <gtest/gtest.h>

#include <fstream>

#include <tests/fakes/chatbox_config.h>
#include <tests/support/temp_home.h>

namespace {

using fake_chatbox::ChatTarget;
using fake_chatbox::ReadChatTarget;

class ChatboxConfigTest : public ::testing::Test {
 protected:
  ChatTarget Read(const std::string& json) {
    const auto file = fake_chatbox::SettingsFile();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << json;
    return ReadChatTarget(file);
  }
  TempHome home_;
};

TEST_F(ChatboxConfigTest, SettingsFileIsInTheConfigHome) {
  EXPECT_EQ(fake_chatbox::SettingsFile(), home_.config() / "xyz.chatboxapp.app" / "config.json");
}

TEST_F(ChatboxConfigTest, OlderFilesKeepModelAndHostInSettings) {
  const ChatTarget target = Read(
      R"({"settings": {"ollamaModel": "deepseek-r1:7b", "ollamaHost": "http://127.0.0.1:11434"}})");
  EXPECT_EQ(DescribeTarget(target), "model=deepseek-r1:7b host=http://127.0.0.1:11434");
}

TEST_F(ChatboxConfigTest, FromVersionTenTheDefaultChatModelAndTheProviderHost) {
  const ChatTarget target = Read(R"({"configVersion": 10, "settings": {
      "ollamaModel": "old:1b",
      "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:1.5b"},
      "providers": {"ollama": {"apiHost": "http://127.0.0.1:5000"}}}})");
  EXPECT_EQ(target.model, "deepseek-r1:1.5b");
  EXPECT_EQ(target.host, "http://127.0.0.1:5000");
}

TEST_F(ChatboxConfigTest, MissingDamagedOrOddFilesGiveEmptyFields) {
  EXPECT_EQ(DescribeTarget(ReadChatTarget(home_.root() / "none.json")), "model= host=");
  EXPECT_EQ(DescribeTarget(Read("{not json")), "model= host=");
  EXPECT_EQ(DescribeTarget(Read(R"({"settings": {"ollamaModel": 7}})")), "model= host=");
  EXPECT_EQ(DescribeTarget(Read(R"({"settings": "x"})")), "model= host=");
  // One line whatever the file holds.
  EXPECT_EQ(DescribeTarget(Read(R"({"settings": {"ollamaModel": "a\nb"}})")), "model=a?b host=");
}

}  // namespace
