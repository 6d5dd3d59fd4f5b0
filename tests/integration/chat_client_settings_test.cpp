// The settings we write, read by the client stand-in that applies the real
// client's rules (first run, migrations, its schema): every client version a
// user may have ends up chatting with our model on our runner, and keeps
// what the user had.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// A 1.9 user's whole file: chats in chat-sessions (one with a model of its
// own, one following the default, one for pictures), the keys that client
// saves with its defaults, two providers with keys.
constexpr char kOldUserWithChats[] = R"({
  "configVersion": 6, "configs": {"uuid": "u-9"}, "myCopilots": [],
  "chat-sessions": [
    {"id": "s-own", "name": "Work", "type": "chat",
     "settings": {"aiProvider": "claude", "claudeModel": "claude-3-5-sonnet-20241022"},
     "messages": [{"id": "m-1", "role": "user", "content": "hi"}]},
    {"id": "s-default", "name": "Untitled", "type": "chat", "messages": []},
    {"id": "p-1", "name": "Pictures", "type": "picture", "messages": []}],
  "settings": {"aiProvider": "openai", "openaiKey": "sk-old", "apiHost": "https://api.openai.com",
               "model": "gpt-4", "openaiCustomModelOptions": [], "claudeApiKey": "ck-old",
               "azureDalleDeploymentName": "dall-e-3", "azureDeploymentNameOptions": [],
               "ollamaHost": "http://127.0.0.1:11434", "ollamaModel": "llama2",
               "customProviders": [], "temperature": 0.7, "fontSize": 13}
})";

// Version 8 holds the chats split already: a list and a key per chat.
constexpr char kVersion8User[] = R"({
  "configVersion": 8,
  "chat-sessions-list": [{"id": "s-1", "name": "A", "type": "chat"}],
  "session:s-1": {"id": "s-1", "name": "A", "type": "chat", "messages": [],
                  "settings": {"aiProvider": "groq", "groqModel": "llama3-70b-8192"}},
  "settings": {"aiProvider": "groq", "groqAPIKey": "gk", "groqModel": "llama3-70b-8192"}
})";

// The first line the client prints (with --chats, the second too).
std::string Describe(const std::string& version, bool chats = false) {
  SetVariable("TIDEWELL_FAKE_CHATBOX_VERSION", version.c_str());
  std::vector<std::string> args = {built::FakeChatboxProgram(), "--describe"};
  if (chats) args.push_back("--chats");
  const ChildResult run = RunChildWithOutput(args, 30);
  UnsetVariable("TIDEWELL_FAKE_CHATBOX_VERSION");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const std::string line = run.output.substr(0, run.output.find('\n'));
  if (!chats) return line;
  const auto from = run.output.find('\n') + 1;
  return run.output.substr(from, run.output.find('\n', from) - from);
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
      // Its migration would rebuild the providers from the flat keys, our
      // list dropped: the file is already as that step leaves it.
      {"1.9 user's file, the client we install", kOldUser, "1.20.0", "ollama", kTag},
      {"1.9 user's file with chats, the client we install", kOldUserWithChats, "1.20.0", "ollama",
       kTag},
      {"1.9 user's file with chats, their old client", kOldUserWithChats, "1.9.8", "ollama",
       nullptr},
      {"version 8 file, the client we install", kVersion8User, "1.20.0", "ollama", kTag},
      {"version 8 file, an old client", kVersion8User, "1.9.8", "ollama", nullptr},
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

// A flat file at the client's first start: the user's chats and providers
// are there as its own migration would have made them (a chat following the
// default follows ours, as it did in the old client), our model beside them;
// the old client keeps its chats as they were.
TEST_F(ChatClientSettings, AFlatFileKeepsTheUsersChatsAndProviders) {
  struct Case {
    const char* name;
    const char* before;
    const char* chats;
    const char* offered;
  };
  const Case cases[] = {
      {"version 6", kOldUserWithChats,
       "chats=s-own:claude/claude-3-5-sonnet-20241022,s-default:ollama/deepseek-r1:7b,"
       "p-1:chatbox-ai/DALL-E-3",
       "openai,claude,ollama"},
      {"version 8", kVersion8User, "chats=s-1:groq/llama3-70b-8192", "ollama,groq"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write(c.before);
    ASSERT_EQ(WriteChatboxConfig(kTag, kHost), ChatboxConfigResult::kWritten);
    EXPECT_EQ(Describe("1.20.0", true), c.chats);
    EXPECT_EQ(Field(Describe("1.20.0"), "offered"), c.offered);
    Json::Value before;
    ASSERT_TRUE(ParseJson(c.before, before));
    EXPECT_EQ(Read()["chat-sessions"], before["chat-sessions"]);
  }
}

// The old client's own custom providers would become new ones nobody but
// the current client reads: such a file stays flat, the client converts them
// itself, and the old client still finds them as it wrote them.
TEST_F(ChatClientSettings, TheOldClientsCustomProvidersStayItsOwn) {
  constexpr char kCustom[] = R"({"configVersion": 6, "settings": {"aiProvider": "custom",
      "selectedCustomProviderId": "cp-1", "customProviders": [{"id": "cp-1", "name": "Mine",
      "api": "openai", "host": "http://c:1", "key": "k", "model": "m1"}]}})";
  Write(kCustom);
  ASSERT_EQ(WriteChatboxConfig(kTag, kHost), ChatboxConfigResult::kWritten);
  Json::Value before;
  ASSERT_TRUE(ParseJson(kCustom, before));
  EXPECT_EQ(Read()["settings"]["customProviders"], before["settings"]["customProviders"]);
  EXPECT_EQ(Read()["configVersion"], 6);
  EXPECT_EQ(Field(Describe("1.9.8"), "model"), kTag);
  EXPECT_NE(Field(Describe("1.20.0"), "offered").find("custom-provider-"), std::string::npos);
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
