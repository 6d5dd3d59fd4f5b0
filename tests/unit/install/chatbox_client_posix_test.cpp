// The client's settings file where POSIX alone can make the case: links,
// pipes, unreadable modes, and a running client that saves on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <install/chatbox_client.h>
#include <install/chatbox_process.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>
#include <tests/unit/install/chatbox_config_fixture.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using chatbox_test::kHost;
using chatbox_test::kUserSettings;
using ChatboxConfigFilePosix = chatbox_test::ChatboxConfigFile;

TEST_F(ChatboxConfigFilePosix, LinksAndPipesAreLeftExactlyAsTheyWere) {
  const std::string using7b = R"({"configVersion": 14, "settings": {"theme": 1,
    "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
  const fs::path elsewhere = home_.root() / "dotfiles" / "chatbox.json";
  fs::create_directories(elsewhere.parent_path());
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(home_.root() / "install"));
  struct Case {
    const char* name;
    std::function<void()> make;
  };
  const std::vector<Case> cases = {
      {"a link", [&] { fs::create_symlink(elsewhere, File()); }},
      {"a pipe", [] { ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(elsewhere, std::ios::trunc) << using7b;
    fs::remove_all(File());
    c.make();
    const fs::file_type type = fs::symlink_status(File()).type();
    EXPECT_EQ(WriteChatboxConfig("deepseek-r1:1.5b", kHost), ChatboxConfigResult::kUnusable);
    EXPECT_EQ(DropModelFromChatboxConfig(layout, "deepseek-r1:7b", {}),
              ChatboxConfigResult::kUnusable);
    EXPECT_FALSE(ChatboxConfigHasModel("deepseek-r1:7b"));
    EXPECT_EQ(fs::symlink_status(File()).type(), type);
    EXPECT_FALSE(fs::exists(Backup(1)));
    EXPECT_EQ(ReadTextFile(elsewhere), using7b);
  }
}

TEST_F(ChatboxConfigFilePosix, AFileWeMayNotReadIsLeftAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "the owner of every file reads any file";
  Write(kUserSettings);
  fs::permissions(File(), fs::perms::none);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kUnusable);
  EXPECT_EQ(ModeOf(File()), 0);
  fs::permissions(File(), fs::perms::owner_read);
  EXPECT_EQ(ReadTextFile(File()), kUserSettings);
}

TEST_F(ChatboxConfigFilePosix, TheRunningClientEndsFirstAndWhatItSavesOnTheWayOutStays) {
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
  ASSERT_TRUE(StartChatbox(layout));
  ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));

  // Not to be restarted: it goes on, and the file stays as it is.
  bool asked = false;
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost,
                               [&] {
                                 asked = true;
                                 return false;
                               }),
            ChatboxConfigResult::kClientRunning);
  EXPECT_TRUE(asked);
  EXPECT_EQ(Read()["settings"]["theme"], 1);
  const pid_t first = std::stoi(ReadTextFile(ready));
  EXPECT_EQ(::kill(first, 0), 0);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kClientRunning);

  // Restarted: it ends first, what it saves on the way out stays, and it
  // is started again.
  fs::remove(ready);
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost, [] { return true; }),
            ChatboxConfigResult::kWritten);
  EXPECT_EQ(Read()["settings"]["theme"], 2);
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:7b"));
  EXPECT_EQ(ReadTextFile(Backup(1)), R"({"configVersion": 14, "settings": {"theme": 2}})");
  ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));
  EXPECT_NE(std::stoi(ReadTextFile(ready)), first);

  // With nothing to change, a running client is left running.
  EXPECT_EQ(WriteChatboxConfig("deepseek-r1:7b", kHost), ChatboxConfigResult::kWritten);
  const pid_t client = std::stoi(ReadTextFile(ready));
  EXPECT_EQ(::kill(client, 0), 0);
  EXPECT_TRUE(StopChatboxIn(layout.chatboxFolder));
  GetServiceState().installFolder = std::wstring();
}

}  // namespace
