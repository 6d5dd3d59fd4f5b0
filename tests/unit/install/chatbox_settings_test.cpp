// The rules for the client's settings document, on JSON values.
#include <gtest/gtest.h>

#include <config/json_text.h>
#include <install/chatbox_settings.h>
#include <tests/unit/install/chatbox_config_fixture.h>

#include <string>
#include <vector>

namespace {

using chatbox_test::Parsed;
using chatbox_test::kHost;

constexpr char kModel[] = "deepseek-r1:7b";

// A current user's settings: other providers with keys, a theme, a language,
// other runner models (one with members of its own).
const char kCurrentUser[] = R"({
  "configVersion": 14, "lastShownAboutDialogVersion": "1.20.0",
  "settings": {
    "theme": 1, "language": "en", "fontSize": 15,
    "providers": {
      "openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
      "claude": {"apiKey": "sk-ant-user", "apiHost": "https://api.anthropic.com"},
      "ollama": {"apiHost": "http://10.0.0.5:11434",
                 "models": [{"modelId": "qwen2:7b", "nickname": "Q", "capabilities": ["tool_use"]},
                            {"modelId": "llama3:8b"}]}},
    "defaultChatModel": {"provider": "openai", "model": "gpt-4o"},
    "shortcuts": {"quickToggle": "Alt+`"}},
  "configs": {"uuid": "1f0c"}
})";
const char kCurrentUserAfter[] = R"({
  "configVersion": 14, "lastShownAboutDialogVersion": "1.20.0",
  "settings": {
    "theme": 1, "language": "en", "fontSize": 15,
    "providers": {
      "openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
      "claude": {"apiKey": "sk-ant-user", "apiHost": "https://api.anthropic.com"},
      "ollama": {"apiHost": "http://127.0.0.1:11999",
                 "models": [{"modelId": "qwen2:7b", "nickname": "Q", "capabilities": ["tool_use"]},
                            {"modelId": "llama3:8b"}, {"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"},
    "shortcuts": {"quickToggle": "Alt+`"}},
  "configs": {"uuid": "1f0c"}
})";

// Settings as a 1.9 client wrote them: the flat layout, version 6.
const char kVersion6[] = R"({
  "configVersion": 6, "myCopilots": [{"name": "翻译"}],
  "settings": {"aiProvider": "openai", "openaiKey": "sk-user", "ollamaHost": "http://10.0.0.5:11434",
               "ollamaModel": "llama3:8b", "theme": 0, "fontSize": 14}
})";
// Taken to version 10 as the client would: providers built from the flat
// keys (the OpenAI key among them), custom providers made anew (none).
const char kVersion6After[] = R"({
  "configVersion": 10, "myCopilots": [{"name": "翻译"}],
  "settings": {"aiProvider": "ollama", "openaiKey": "sk-user", "ollamaHost": "http://127.0.0.1:11999",
               "ollamaModel": "deepseek-r1:7b", "theme": 0, "fontSize": 14,
               "providers": {"openai": {"apiKey": "sk-user"},
                             "ollama": {"apiHost": "http://127.0.0.1:11999",
                                        "models": [{"modelId": "deepseek-r1:7b"}]}},
               "customProviders": [],
               "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}
})";

// What our model adds to a document with only `extra` settings.
std::string Both(const std::string& version, const std::string& extra = "") {
  return R"({)" + version + R"("settings": {)" + extra +
         R"("aiProvider": "ollama", "ollamaHost": "http://127.0.0.1:11999",
         "ollamaModel": "deepseek-r1:7b",
         "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                  "models": [{"modelId": "deepseek-r1:7b"}]}},
         "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
}
std::string ProvidersOnly(const std::string& version) {
  return R"({)" + version + R"("settings": {
         "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                  "models": [{"modelId": "deepseek-r1:7b"}]}},
         "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
}

struct MergeCase {
  const char* name;
  std::string before;
  std::string after;
};

TEST(ChatboxSettingsRules, MergeAddsOurModelAndChangesNothingElse) {
  const std::vector<MergeCase> cases = {
      {"current user", kCurrentUser, kCurrentUserAfter},
      {"version 6 gets flat keys and the default", kVersion6, kVersion6After},
      {"model already listed keeps its entry and place",
       R"({"configVersion": 12, "settings": {"providers": {"ollama": {"models": [
            {"modelId": "deepseek-r1:7b", "nickname": "mine"}, {"modelId": "a"}]}}}})",
       R"({"configVersion": 12, "settings": {"providers": {"ollama": {
            "apiHost": "http://127.0.0.1:11999",
            "models": [{"modelId": "deepseek-r1:7b", "nickname": "mine"}, {"modelId": "a"}]}},
            "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
      {"odd list entries stay", R"({"configVersion": 14, "settings": {"providers": {"ollama":
            {"models": ["x", 5, {"modelId": 7}]}}}})",
       R"({"configVersion": 14, "settings": {"providers": {"ollama":
            {"apiHost": "http://127.0.0.1:11999",
             "models": ["x", 5, {"modelId": 7}, {"modelId": "deepseek-r1:7b"}]}},
            "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
      {"flat keys of a current file are not ours",
       R"({"configVersion": 14, "settings": {"ollamaModel": 5}})",
       R"({"configVersion": 14, "settings": {"ollamaModel": 5,
            "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                     "models": [{"modelId": "deepseek-r1:7b"}]}},
            "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
      {"no version", R"({"settings": {"theme": 2}})", Both("", R"("theme": 2,)")},
      {"version 0", R"({"configVersion": 0})", Both(R"("configVersion": 0,)")},
      {"no settings yet", R"({"configVersion": 13})", ProvidersOnly(R"("configVersion": 13,)")},
      {"version as a string", R"({"configVersion": "14"})", Both(R"("configVersion": "14",)")},
      {"version as an array", R"({"configVersion": [14]})", Both(R"("configVersion": [14],)")},
      {"version as an object", R"({"configVersion": {"v": 1}})",
       Both(R"("configVersion": {"v": 1},)")},
      {"version beyond 64 bits", R"({"configVersion": 123456789012345678901234567890})",
       ProvidersOnly(R"("configVersion": 123456789012345678901234567890,)")},
      {"version at the largest unsigned", R"({"configVersion": 18446744073709551615})",
       ProvidersOnly(R"("configVersion": 18446744073709551615,)")},
      {"version below the smallest signed", R"({"configVersion": -9223372036854775809})",
       Both(R"("configVersion": -9223372036854775809,)")},
      {"fractional version before 10", R"({"configVersion": 9.5})",
       Both(R"("configVersion": 9.5,)")},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Json::Value root = Parsed(c.before);
    ASSERT_TRUE(MergeChatboxSettings(root, kModel, kHost));
    EXPECT_EQ(root, Parsed(c.after)) << root.toStyledString();
    EXPECT_TRUE(ChatboxSettingsUseModel(root, kModel));
    EXPECT_FALSE(ChatboxSettingsUseModel(root, "deepseek-r1:70b"));
    // A second merge changes nothing.
    const Json::Value once = root;
    ASSERT_TRUE(MergeChatboxSettings(root, kModel, kHost));
    EXPECT_EQ(root, once);
  }
}

// What the client's steps to 10 make of a flat document, done by us: its
// first start then keeps the list we add.
TEST(ChatboxSettingsRules, AFlatDocumentGoesToVersion10AsTheClientWouldTakeIt) {
  const std::vector<MergeCase> cases = {
      {"chats split, then each in the new form", R"({"configVersion": 7,
         "chat-sessions": [
           {"id": "s1", "name": "A", "type": "chat", "starred": true, "messages": [{"id": "m"}],
            "settings": {"aiProvider": "openai", "model": "gpt-4", "temperature": 0.3}},
           {"id": "s2", "name": "B", "type": "chat", "settings": {"temperature": null}},
           {"id": "s3", "name": "C"}],
         "settings": {"aiProvider": "openai", "model": "gpt-4o", "temperature": 0.7, "topP": 1}})",
       R"({"configVersion": 10,
         "chat-sessions": [
           {"id": "s1", "name": "A", "type": "chat", "starred": true, "messages": [{"id": "m"}],
            "settings": {"aiProvider": "openai", "model": "gpt-4", "temperature": 0.3}},
           {"id": "s2", "name": "B", "type": "chat", "settings": {"temperature": null}},
           {"id": "s3", "name": "C"}],
         "chat-sessions-list": [{"id": "s1", "name": "A", "type": "chat", "starred": true},
                                {"id": "s2", "name": "B", "type": "chat"}, {"id": "s3", "name": "C"}],
         "session:s1": {"id": "s1", "name": "A", "type": "chat", "starred": true,
                        "messages": [{"id": "m"}], "settings": {"provider": "openai",
                        "modelId": "gpt-4", "temperature": 0.3, "topP": 1}},
         "session:s2": {"id": "s2", "name": "B", "type": "chat", "settings": {"provider": "ollama",
                        "modelId": "deepseek-r1:7b", "temperature": 0.7, "topP": 1}},
         "session:s3": {"id": "s3", "name": "C", "settings": {"provider": "chatbox-ai",
                        "modelId": "DALL-E-3", "imageGenerateNum": 3, "dalleStyle": "vivid"}},
         "settings": {"aiProvider": "ollama", "model": "gpt-4o", "temperature": 0.7, "topP": 1,
           "ollamaHost": "http://127.0.0.1:11999", "ollamaModel": "deepseek-r1:7b",
           "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                    "models": [{"modelId": "deepseek-r1:7b"}]}},
           "customProviders": [],
           "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
      {"providers built anew: the client's OpenAI models first, ours replace an old list",
       R"({"configVersion": 9, "settings": {"openaiKey": "sk", "openaiCustomModel": "my-gpt",
         "openaiCustomModelOptions": ["gpt-4o", "x", "x"], "azureApikey": "ak",
         "azureDeploymentNameOptions": ["d1"], "geminiAPIHost": "https://g", "xAIKey": "",
         "providers": {"ollama": {"models": [{"modelId": "old"}]}}}})",
       R"({"configVersion": 10, "settings": {"openaiKey": "sk", "openaiCustomModel": "my-gpt",
         "openaiCustomModelOptions": ["gpt-4o", "x", "x"], "azureApikey": "ak",
         "azureDeploymentNameOptions": ["d1"], "geminiAPIHost": "https://g", "xAIKey": "",
         "aiProvider": "ollama", "ollamaHost": "http://127.0.0.1:11999",
         "ollamaModel": "deepseek-r1:7b",
         "providers": {
           "openai": {"apiKey": "sk", "models": [
             {"modelId": "gpt-5.4", "capabilities": ["vision", "tool_use", "reasoning"],
              "contextWindow": 1050000, "maxOutput": 128000},
             {"modelId": "gpt-5-mini", "capabilities": ["vision", "tool_use", "reasoning"],
              "contextWindow": 400000, "maxOutput": 128000},
             {"modelId": "gpt-4o", "capabilities": ["vision", "tool_use"],
              "contextWindow": 128000, "maxOutput": 16384},
             {"modelId": "gpt-4o-mini", "capabilities": ["vision", "tool_use"],
              "contextWindow": 128000, "maxOutput": 16384},
             {"modelId": "o4-mini", "capabilities": ["vision", "tool_use", "reasoning"],
              "contextWindow": 200000, "maxOutput": 100000},
             {"modelId": "o3-pro", "capabilities": ["vision", "tool_use", "reasoning"],
              "contextWindow": 200000, "maxOutput": 100000},
             {"modelId": "o3-mini", "capabilities": ["vision", "tool_use", "reasoning"],
              "contextWindow": 200000, "maxOutput": 100000},
             {"modelId": "text-embedding-3-small", "type": "embedding"},
             {"modelId": "my-gpt"}, {"modelId": "x"}]},
           "azure": {"apiKey": "ak", "models": [{"modelId": "d1"}]},
           "gemini": {"apiHost": "https://g"},
           "ollama": {"apiHost": "http://127.0.0.1:11999", "models": [{"modelId": "deepseek-r1:7b"}]}},
         "customProviders": [],
         "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
      {"OpenAI options that are no list: the client's try leaves OpenAI out",
       R"({"configVersion": 9, "settings": {"openaiKey": "sk", "openaiCustomModelOptions": "x"}})",
       R"({"configVersion": 10, "settings": {"openaiKey": "sk", "openaiCustomModelOptions": "x",
         "aiProvider": "ollama", "ollamaHost": "http://127.0.0.1:11999",
         "ollamaModel": "deepseek-r1:7b",
         "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                  "models": [{"modelId": "deepseek-r1:7b"}]}},
         "customProviders": [],
         "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Json::Value root = Parsed(c.before);
    ASSERT_TRUE(MergeChatboxSettings(root, kModel, kHost));
    EXPECT_EQ(root, Parsed(c.after)) << root.toStyledString();
    EXPECT_EQ(ChatboxLayoutOf(root), ChatboxLayout::kProviders);
    EXPECT_TRUE(ChatboxSettingsUseModel(root, kModel));
  }
}

// Where the client's steps would do what we cannot (its own browser data,
// a throw) or take the old client's custom providers from it, the document
// keeps its version and gets both layouts, its chats untouched.
TEST(ChatboxSettingsRules, AFlatDocumentTheClientMustTakeItselfStaysFlat) {
  const std::vector<std::string> documents = {
      R"({"configVersion": 2, "settings": {}})",
      R"({"configVersion": -1, "settings": {}})",
      R"({"configVersion": 6, "settings": {"customProviders": [{"id": "c", "name": "Mine"}]}})",
      R"({"configVersion": 6, "settings": {"azureApikey": "k", "azureDeploymentNameOptions": "d"}})",
      R"({"configVersion": 6, "chat-sessions": {"id": "s"}})",
      R"({"configVersion": 6, "chat-sessions": [{"name": "no id"}]})",
      R"({"configVersion": 6, "chat-sessions": [{"id": 5}]})",
      R"({"configVersion": 8, "chat-sessions-list": [null]})",
      R"({"configVersion": 8, "chat-sessions-list": [{"id": "s"}],
          "session:s": {"id": "s", "type": "chat", "settings": {"aiProvider": "mistral"}}})",
  };
  for (const std::string& text : documents) {
    SCOPED_TRACE(text);
    const Json::Value before = Parsed(text);
    Json::Value root = before;
    ASSERT_TRUE(MergeChatboxSettings(root, kModel, kHost));
    Json::Value expected = before;
    expected["settings"] = root["settings"];
    EXPECT_EQ(root, expected) << root.toStyledString();
    const Json::Value& settings = root["settings"];
    EXPECT_FALSE(settings.isMember("customProviders") &&
                 !before["settings"].isMember("customProviders"));
    EXPECT_EQ(settings["aiProvider"], "ollama");
    EXPECT_EQ(settings["providers"]["ollama"]["models"][0]["modelId"], kModel);
    EXPECT_TRUE(ChatboxSettingsUseModel(root, kModel));
  }
}

TEST(ChatboxSettingsRules, SomeoneElsesValueWhereOursMustGoLeavesTheDocumentAsItWas) {
  const std::vector<std::string> documents = {
      "[1, 2]",
      R"("text")",
      R"({"settings": "x"})",
      R"({"settings": [1]})",
      R"({"configVersion": 14, "settings": {"providers": [1]}})",
      R"({"configVersion": 14, "settings": {"providers": {"ollama": "on"}}})",
      R"({"configVersion": 14, "settings": {"providers": {"ollama": {"models": {"a": 1}}}}})",
      R"({"configVersion": 14, "settings": {"providers": {"ollama": {"apiHost": 5}}}})",
      R"({"configVersion": 14, "settings": {"defaultChatModel": "gpt-4o"}})",
      R"({"configVersion": 14, "settings": {"defaultChatModel": {"model": ["x"]}}})",
      R"({"configVersion": 6, "settings": {"ollamaModel": 5}})",
      R"({"configVersion": 6, "settings": {"aiProvider": {"id": "openai"}}})",
      R"({"settings": {"ollamaHost": false}})",
  };
  for (const std::string& text : documents) {
    SCOPED_TRACE(text);
    Json::Value root = Parsed(text);
    EXPECT_FALSE(MergeChatboxSettings(root, kModel, kHost));
    EXPECT_EQ(root, Parsed(text));
    EXPECT_FALSE(ChatboxSettingsUseModel(root, kModel));
  }
}

TEST(ChatboxSettingsRules, ANewDocumentServesOldAndNewClients) {
  const Json::Value root = NewChatboxSettings(kModel, kHost);
  EXPECT_EQ(root, Parsed(R"({"configVersion": 14, "settings": {"language": "zh-Hans",
      "aiProvider": "ollama", "ollamaHost": "http://127.0.0.1:11999", "ollamaModel": "deepseek-r1:7b",
      "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                               "models": [{"modelId": "deepseek-r1:7b"}]}},
      "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})"));
  EXPECT_EQ(ChatboxLayoutOf(root), ChatboxLayout::kProviders);
  // What an old client reads, on its own.
  Json::Value old = root;
  old["configVersion"] = 6;
  old["settings"].removeMember("providers");
  old["settings"].removeMember("defaultChatModel");
  EXPECT_TRUE(ChatboxSettingsUseModel(old, kModel));
}

TEST(ChatboxSettingsRules, TheModelCountsWhereTheDocumentsClientLooks) {
  struct Case {
    const char* text;
    bool uses;
  };
  const std::vector<Case> cases = {
      // Version 10 on: the list and the default, never the flat keys.
      {R"({"configVersion": 14, "settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b"}})",
       false},
      {R"({"configVersion": 14, "settings": {"providers": {"ollama": {"models": []}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
       false},
      {R"({"configVersion": 14, "settings": {"providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "openai", "model": "deepseek-r1:7b"}}})",
       false},
      {R"({"configVersion": 10, "settings": {"providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
       true},
      // Before 10: the flat keys, the provider included.
      {R"({"configVersion": 6, "settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b"}})",
       true},
      {R"({"configVersion": 6, "settings": {"aiProvider": "openai", "ollamaModel": "deepseek-r1:7b"}})",
       false},
      {R"({"configVersion": 6, "settings": {"aiProvider": "ollama", "ollamaModel": "llama3:8b"}})",
       false},
      // No version: either client, so both places.
      {R"({"settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b"}})", false},
      {R"({"configVersion": "x", "settings": {"providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
       false},
      // Odd shapes are no model and never throw.
      {R"({"configVersion": 14, "settings": {"providers": "x", "defaultChatModel": []}})", false},
      {R"({"configVersion": 14, "settings": [1]})", false},
      {R"([{"settings": {}}])", false},
      {R"(5)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ChatboxSettingsUseModel(Parsed(c.text), kModel), c.uses);
  }
}

TEST(ChatboxSettingsRules, LayoutByVersion) {
  struct Case {
    const char* text;
    ChatboxLayout layout;
  };
  const std::vector<Case> cases = {
      {"{}", ChatboxLayout::kBoth},
      {R"({"configVersion": null})", ChatboxLayout::kBoth},
      {R"({"configVersion": 0})", ChatboxLayout::kBoth},
      {R"({"configVersion": 0.0})", ChatboxLayout::kBoth},
      {R"({"configVersion": true})", ChatboxLayout::kBoth},
      {R"({"configVersion": "6"})", ChatboxLayout::kBoth},
      {R"({"configVersion": 1})", ChatboxLayout::kFlat},
      {R"({"configVersion": 9})", ChatboxLayout::kFlat},
      {R"({"configVersion": 9.99})", ChatboxLayout::kFlat},
      {R"({"configVersion": -1})", ChatboxLayout::kFlat},
      {R"({"configVersion": 10})", ChatboxLayout::kProviders},
      {R"({"configVersion": 14})", ChatboxLayout::kProviders},
      {R"({"configVersion": 1e300})", ChatboxLayout::kProviders},
      {R"([14])", ChatboxLayout::kBoth},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ChatboxLayoutOf(Parsed(c.text)), c.layout);
  }
}

}  // namespace
