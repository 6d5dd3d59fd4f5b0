// The client's settings file: written, merged, backed up, or left alone.
#include <gtest/gtest.h>

#include <config/json_text.h>
#include <install/chatbox_client.h>
#include <install/chatbox_process.h>
#include <install/chatbox_settings.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>
#include <tests/unit/install/chatbox_config_fixture.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using chatbox_test::ChatboxConfigFile;
using chatbox_test::kHost;
using chatbox_test::kUserSettings;

TEST_F(ChatboxConfigFile, ANewFileHoldsBothLayoutsAndIsPrivate) {
  fs::remove(File().parent_path());
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:1.5b", kHost), ChatboxConfigResult::kWritten);
  EXPECT_EQ(Read(), NewChatboxSettings("deepseek-r1:1.5b", kHost));
  EXPECT_EQ(ModeOf(File()), 0600);
  EXPECT_EQ(ModeOf(File().parent_path()), 0700);
  EXPECT_FALSE(fs::exists(Backup(1)));  // nothing was there to keep
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:1.5b"));
  EXPECT_FALSE(ChatboxConfigHasModel("deepseek-r1:7b"));
}

TEST_F(ChatboxConfigFile, AUsersFileGetsOurModelAndKeepsTheRest) {
  Write(kUserSettings);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:14b", kHost), ChatboxConfigResult::kWritten);
  Json::Value expected;
  ASSERT_TRUE(ParseJson(kUserSettings, expected));
  ASSERT_TRUE(MergeChatboxSettings(expected, "deepseek-r1:14b", kHost));
  EXPECT_EQ(Read(), expected);
  EXPECT_EQ(Read()["settings"]["providers"]["ollama"]["models"][0]["modelId"], "llama3:8b");
  EXPECT_EQ(ReadTextFile(Backup(1)), kUserSettings);
  EXPECT_EQ(ModeOf(Backup(1)), 0600);
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:14b"));
  // Writing the same again changes nothing, so no backup is added.
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:14b", kHost), ChatboxConfigResult::kWritten);
  EXPECT_FALSE(fs::exists(Backup(2)));
}

TEST_F(ChatboxConfigFile, AnEmptyFileIsReplacedAndKept) {
  Write("");
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kWritten);
  EXPECT_EQ(Read(), NewChatboxSettings("deepseek-r1:7b", kHost));
  EXPECT_TRUE(fs::exists(Backup(1)));
}

TEST_F(ChatboxConfigFile, ThreeBackupsAreKeptNewestFirst) {
  Write(kUserSettings);
  std::vector<std::string> before;
  for (int i = 1; i <= 5; ++i) {
    before.push_back(ReadTextFile(File()));
    ASSERT_EQ(WriteChatboxConfig("deepseek-r1:" + std::to_string(i) + "b", kHost),
              ChatboxConfigResult::kWritten);
  }
  EXPECT_EQ(ReadTextFile(Backup(1)), before[4]);
  EXPECT_EQ(ReadTextFile(Backup(2)), before[3]);
  EXPECT_EQ(ReadTextFile(Backup(3)), before[2]);
  EXPECT_FALSE(fs::exists(Backup(4)));
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(ModeOf(Backup(n)), 0600);
  // Every model pulled stays on the list.
  EXPECT_EQ(Read()["settings"]["providers"]["ollama"]["models"].size(), 6u);
}

TEST_F(ChatboxConfigFile, UnusableFilesAreLeftExactlyAsTheyWere) {
  Json::Value probe;
  // The library refuses these, while the client itself may have written them.
  ASSERT_FALSE(ParseJson(R"({"title": "\ud83d"})", probe));
  const std::string deep = "{\"a\":" + std::string(1000, '[') + std::string(1000, ']') + "}";
  ASSERT_FALSE(ParseJson(deep, probe));
  ASSERT_TRUE(ParseJson("{\"a\":" + std::string(999, '[') + std::string(999, ']') + "}", probe));

  struct Case {
    const char* name;
    std::function<void()> make;
  };
  const std::vector<Case> cases = {
      {"lone surrogate",
       [] { Write(R"({"settings": {"openaiKey": "sk-user"}, "title": "\ud83d"})"); }},
      {"nesting past 1000", [&] { Write(deep); }},
      {"not JSON", [] { Write("{ \"settings\": "); }},
      {"number beyond a double", [] { Write(R"({"configVersion": 1e400})"); }},
      {"no object", [] { Write(R"([{"settings": {}}])"); }},
      {"settings of another kind", [] { Write(R"({"configVersion": 14, "settings": [1]})"); }},
      {"a folder", [] { fs::create_directory(File()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(File());
    c.make();
    const fs::file_status status = fs::symlink_status(File());
    const std::string bytes = fs::is_regular_file(status) ? ReadTextFile(File()) : "";
    EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kUnusable);
    EXPECT_EQ(fs::symlink_status(File()).type(), status.type());
    if (fs::is_regular_file(status)) {
      EXPECT_EQ(ReadTextFile(File()), bytes);
    }
    EXPECT_FALSE(fs::exists(Backup(1)));
    EXPECT_FALSE(ChatboxConfigHasModel("deepseek-r1:7b"));
  }
}

TEST_F(ChatboxConfigFile, TagsThatCannotBeTextAreRefused) {
  EXPECT_EQ(WriteChatboxConfig("", kHost), ChatboxConfigResult::kWriteFailed);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:\xff", kHost), ChatboxConfigResult::kWriteFailed);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", ""), ChatboxConfigResult::kWriteFailed);
  EXPECT_FALSE(fs::exists(File()));
}

// Tags are UTF-8 on every platform: the file's document holds them as given,
// and they are found again by the same bytes.
TEST_F(ChatboxConfigFile, TagsAreWrittenAndFoundAsTheirUtf8Bytes) {
  const std::vector<std::string> tags = {
      "deepseek-r1:1.5b",
      "\xe6\xa8\xa1\xe5\x9e\x8b:7b",  // "模型:7b"
      "caf\xc3\xa9-r1:8b",            // "café-r1:8b"
  };
  for (const std::string& tag : tags) {
    SCOPED_TRACE(tag);
    fs::remove_all(File());
    ASSERT_EQ(WriteChatboxConfig(tag, kHost), ChatboxConfigResult::kWritten);
    EXPECT_EQ(Read(), NewChatboxSettings(tag, kHost));
    EXPECT_TRUE(ChatboxConfigHasModel(tag));
    EXPECT_TRUE(ChatboxConfigListsModel(tag));
  }
}

TEST_F(ChatboxConfigFile, WritersOnSeveralThreadsLoseNoModel) {
  Write(kUserSettings);
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i) {
    writers.emplace_back([i] {
      for (int j = 0; j < 3; ++j)
        WriteChatboxConfig("deepseek-r1:" + std::to_string(i) + "b", kHost);
    });
  }
  for (auto& t : writers) t.join();
  const Json::Value root = Read();
  EXPECT_EQ(root["settings"]["providers"]["openai"]["apiKey"], "sk-user");
  EXPECT_EQ(root["settings"]["providers"]["ollama"]["models"].size(), 9u);
}

}  // namespace

namespace {

// Taking a removed model out of the file: only a file that names it is
// rewritten (backup first, private); anything else is left exactly as it was.
TEST_F(ChatboxConfigFile, ARemovedModelLeavesTheFileOnlyWhereItWasNamed) {
  const std::string using7b = R"({"configVersion": 14, "settings": {"theme": 1,
    "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
  struct Case {
    const char* name;
    std::function<void()> make;
    std::string tag;
    ChatboxConfigResult result;
    bool rewritten;
  };
  const std::vector<Case> cases = {
      {"no file", [] {}, "deepseek-r1:7b", ChatboxConfigResult::kWritten, false},
      {"an empty file", [] { Write(""); }, "deepseek-r1:7b", ChatboxConfigResult::kWritten, false},
      {"another model", [&] { Write(using7b); }, "deepseek-r1:8b", ChatboxConfigResult::kWritten,
       false},
      {"the model", [&] { Write(using7b); }, "deepseek-r1:7b", ChatboxConfigResult::kWritten, true},
      {"not JSON", [] { Write("{ \"settings\": "); }, "deepseek-r1:7b",
       ChatboxConfigResult::kUnusable, false},
      {"no tag", [&] { Write(using7b); }, "", ChatboxConfigResult::kWriteFailed, false},
  };
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(home_.root() / "install"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(File());
    fs::remove_all(Backup(1));
    c.make();
    const fs::file_status status = fs::symlink_status(File());
    const std::string bytes = fs::is_regular_file(status) ? ReadTextFile(File()) : "";
    EXPECT_EQ(DropModelFromChatboxConfig(layout, c.tag, {"deepseek-r1:1.5b"}), c.result);
    EXPECT_EQ(fs::symlink_status(File()).type(), status.type());
    EXPECT_EQ(fs::exists(Backup(1)), c.rewritten);
    if (c.rewritten) {
      EXPECT_EQ(ReadTextFile(Backup(1)), bytes);
      EXPECT_EQ(ModeOf(File()), 0600);
      EXPECT_EQ(Read()["settings"]["theme"], 1);
      EXPECT_FALSE(ChatboxConfigHasModel(c.tag));
      EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:1.5b"));
    } else if (fs::is_regular_file(status)) {
      EXPECT_EQ(ReadTextFile(File()), bytes);
    }
  }
}

}  // namespace
