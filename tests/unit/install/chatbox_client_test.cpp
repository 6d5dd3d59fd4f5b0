// The client's settings file: written, merged, backed up, or left alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <config/json_text.h>
#include <install/chatbox_client.h>
#include <install/chatbox_process.h>
#include <install/chatbox_settings.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr char kHost[] = "http://127.0.0.1:11999";

const char kUserSettings[] = R"({
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

  const fs::path elsewhere = home_.root() / "dotfiles" / "chatbox.json";
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
      {"a link",
       [&] {
         fs::create_directories(elsewhere.parent_path());
         std::ofstream(elsewhere) << kUserSettings;
         fs::create_symlink(elsewhere, File());
       }},
      {"a folder", [] { fs::create_directory(File()); }},
      {"a pipe", [] { ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0); }},
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
  EXPECT_EQ(ReadTextFile(elsewhere), kUserSettings);
}

TEST_F(ChatboxConfigFile, AFileWeMayNotReadIsLeftAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "the owner of every file reads any file";
  Write(kUserSettings);
  fs::permissions(File(), fs::perms::none);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kUnusable);
  EXPECT_EQ(ModeOf(File()), 0);
  fs::permissions(File(), fs::perms::owner_read);
  EXPECT_EQ(ReadTextFile(File()), kUserSettings);
}

TEST_F(ChatboxConfigFile, TagsThatCannotBeTextAreRefused) {
  EXPECT_EQ(WriteChatboxConfig("", kHost), ChatboxConfigResult::kWriteFailed);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", ""), ChatboxConfigResult::kWriteFailed);
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(ChatboxConfigFile, TheRunningClientEndsFirstAndWhatItSavesOnTheWayOutStays) {
  GetServiceState().installFolder = platform::WidePath(home_.root() / "install");
  const InstallLayout layout = MakeInstallLayout(GetServiceState().installFolder);
  const fs::path ready = home_.root() / "ready";
  // Like the client: it saves its settings from memory when asked to end.
  WriteScript(
      platform::OsPath(layout.chatboxExecutable),
      "trap 'printf %s \"{\\\"configVersion\\\": 14, \\\"settings\\\": {\\\"theme\\\": 2}}\" > \"" +
          File().string() +
          "\"; exit 0' TERM\n"
          "echo $$ > '" +
          ready.string() + ".tmp'; mv '" + ready.string() + ".tmp' '" + ready.string() +
          "'\n"
          // Bounded, so a copy that is never stopped still goes away.
          "i=0; while [ $i -lt 600 ]; do sleep 0.05; i=$((i + 1)); done");
  Write(R"({"configVersion": 14, "settings": {"theme": 1}})");
  ASSERT_TRUE(StartChatbox());
  ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));

  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kWritten);
  EXPECT_EQ(Read()["settings"]["theme"], 2);
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:7b"));
  EXPECT_EQ(ReadTextFile(Backup(1)), R"({"configVersion": 14, "settings": {"theme": 2}})");

  // With nothing to change, a running client is left running.
  fs::remove(ready);
  ASSERT_TRUE(StartChatbox());
  ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kWritten);
  const pid_t client = std::stoi(ReadTextFile(ready));
  EXPECT_EQ(::kill(client, 0), 0);
  EXPECT_TRUE(StopChatbox());
  GetServiceState().installFolder = std::wstring();
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
  const fs::path elsewhere = home_.root() / "dotfiles" / "chatbox.json";
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
      {"a link",
       [&] {
         fs::create_directories(elsewhere.parent_path());
         std::ofstream(elsewhere) << using7b;
         fs::create_symlink(elsewhere, File());
       },
       "deepseek-r1:7b", ChatboxConfigResult::kUnusable, false},
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
  EXPECT_EQ(ReadTextFile(elsewhere), using7b);
}

}  // namespace
