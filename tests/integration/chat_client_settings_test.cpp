// The settings we write, read by the client stand-in that applies the real
// client's rules (first run, migrations, its schema): every client version a
// user may have ends up chatting with our model on our runner, and keeps
// what the user had.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <config/json_text.h>
#include <install/chatbox_client.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

namespace {

namespace fs = std::filesystem;

constexpr char kTag[] = "deepseek-r1:7b";
constexpr char kHost[] = "http://127.0.0.1:11500";

// A current client's user: other providers with keys, a theme, a language,
// other local models, another default.
constexpr char kCurrentUser[] = R"({
  "configVersion": 14,
  "configs": {"uuid": "u-1"},
  "settings": {
    "theme": 1, "language": "en", "fontSize": 15,
    "providers": {
      "openai": {"apiKey": "sk-secret", "models": [{"modelId": "gpt-4o"}]},
      "ollama": {"apiHost": "http://127.0.0.1:11434",
                 "models": [{"modelId": "qwen2:0.5b", "nickname": "small"}]}
    },
    "defaultChatModel": {"provider": "openai", "model": "gpt-4o"}
  }
})";

// What a 1.9 client wrote: its own version, the flat keys.
constexpr char kOldUser[] = R"({
  "configVersion": 6,
  "settings": {"aiProvider": "openai", "openaiKey": "sk-old", "model": "gpt-4",
               "ollamaHost": "http://127.0.0.1:11434", "ollamaModel": "llama2", "fontSize": 13}
})";

std::string Describe(const std::string& version) {
  SetVariable("TIDEWELL_FAKE_CHATBOX_VERSION", version.c_str());
  const ChildResult run = RunChildWithOutput({built::FakeChatboxProgram(), "--describe"}, 30);
  UnsetVariable("TIDEWELL_FAKE_CHATBOX_VERSION");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return run.output.substr(0, run.output.find('\n'));
}

std::string Field(const std::string& line, const std::string& name) {
  const auto start = line.find(name + "=");
  if (start == std::string::npos) return "<none>";
  const auto from = start + name.size() + 1;
  return line.substr(from, line.find(' ', from) - from);
}

class ChatClientSettings : public ::testing::Test {
 protected:
  fs::path File() const { return platform::OsPath(ChatboxSettingsFile()); }
  void Write(const std::string& text) {
    fs::create_directories(File().parent_path());
    std::ofstream(File()) << text;
  }
  Json::Value Read() {
    std::ifstream in(File());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Json::Value value;
    EXPECT_TRUE(ParseJson(text, value)) << text;
    return value;
  }
  TempHome home_;
};

TEST_F(ChatClientSettings, EveryClientVersionChatsWithOurModel) {
  struct Case {
    const char* name;
    const char* before;  // nullptr: no file yet
    const char* client;
    const char* provider;
    const char* ollamaModels;  // nullptr: not checked
  };
  const Case cases[] = {
      {"fresh, current client", nullptr, "1.20.0", "ollama", kTag},
      {"fresh, old client", nullptr, "1.9.8", "ollama", nullptr},
      {"current user's file", kCurrentUser, "1.20.0", "ollama", "qwen2:0.5b,deepseek-r1:7b"},
      {"1.9 user's file, their old client", kOldUser, "1.9.8", "ollama", nullptr},
      // The current client migrates it: the model list is rebuilt from the
      // flat keys, the default we set survives.
      {"1.9 user's file, the client we install", kOldUser, "1.20.0", "ollama", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(File());
    if (c.before != nullptr) Write(c.before);
    ASSERT_EQ(WriteChatboxConfig(kTag, kHost), ChatboxConfigResult::kWritten);
    EXPECT_TRUE(ChatboxConfigHasModel(kTag));
    const std::string seen = Describe(c.client);
    EXPECT_EQ(Field(seen, "provider"), c.provider) << seen;
    EXPECT_EQ(Field(seen, "model"), kTag) << seen;
    EXPECT_EQ(Field(seen, "host"), kHost) << seen;
    if (c.ollamaModels != nullptr) {
      EXPECT_EQ(Field(seen, "ollama-models"), c.ollamaModels) << seen;
    }
  }
}

TEST_F(ChatClientSettings, ACurrentUsersFileChangesOnlyWhereOurModelGoes) {
  Write(kCurrentUser);
  ASSERT_EQ(WriteChatboxConfig(kTag, kHost), ChatboxConfigResult::kWritten);
  Json::Value expected;
  ASSERT_TRUE(ParseJson(kCurrentUser, expected));
  Json::Value& ollama = expected["settings"]["providers"]["ollama"];
  ollama["apiHost"] = kHost;
  Json::Value ours(Json::objectValue);
  ours["modelId"] = kTag;
  ollama["models"].append(ours);
  expected["settings"]["defaultChatModel"]["provider"] = "ollama";
  expected["settings"]["defaultChatModel"]["model"] = kTag;
  EXPECT_EQ(Read(), expected);
  // The user's other provider stays offered beside ours.
  const std::string offered = Field(Describe("1.20.0"), "offered");
  EXPECT_NE(offered.find("openai"), std::string::npos) << offered;
  EXPECT_NE(offered.find("ollama"), std::string::npos) << offered;
}

}  // namespace
