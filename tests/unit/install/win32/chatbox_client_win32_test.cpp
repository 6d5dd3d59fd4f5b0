// The client's settings file on Windows: a link in its place (a symbolic
// link or a junction, which any user may make) is never read or replaced.
#include <gtest/gtest.h>

#include <install/chatbox_client.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <tests/support/links_win32.h>
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
using ChatboxConfigFileWin32 = chatbox_test::ChatboxConfigFile;

TEST_F(ChatboxConfigFileWin32, LinksInThePlaceOfTheFileAreLeftAlone) {
  const std::string using7b = R"({"configVersion": 14, "settings": {"theme": 1,
    "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
  const fs::path elsewhere = home_.root() / "dotfiles";
  const fs::path target = elsewhere / "chatbox.json";
  fs::create_directories(elsewhere);
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(home_.root() / "install"));
  struct Case {
    const char* name;
    std::function<bool()> make;
  };
  const std::vector<Case> cases = {
      {"a symbolic link to a file", [&] { return MakeSymlink(File(), target, false); }},
      {"a junction", [&] { return MakeJunction(File(), elsewhere); }},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(target, std::ios::binary | std::ios::trunc) << using7b;
    fs::remove(File());
    if (!c.make()) continue;  // the system refuses this kind of link here
    ++made;
    ASSERT_TRUE(IsLinkItself(File()));
    EXPECT_EQ(WriteChatboxConfig("deepseek-r1:1.5b", kHost), ChatboxConfigResult::kUnusable);
    EXPECT_EQ(DropModelFromChatboxConfig(layout, "deepseek-r1:7b", {}),
              ChatboxConfigResult::kUnusable);
    EXPECT_FALSE(ChatboxConfigHasModel("deepseek-r1:7b"));
    EXPECT_TRUE(IsLinkItself(File()));
    EXPECT_FALSE(fs::exists(Backup(1)));
    EXPECT_EQ(ReadTextFile(target), using7b);
    fs::remove(File());
  }
  if (made == 0) GTEST_SKIP() << "no kind of link can be made here";
}

}  // namespace
