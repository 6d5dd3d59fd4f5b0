// The client's settings losing a model the runner no longer has.
#include <gtest/gtest.h>

#include <config/json_text.h>
#include <install/chatbox_settings.h>

#include <string>
#include <vector>

namespace {

Json::Value Parsed(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(ParseJson(text, value)) << text;
  return value;
}

struct DropCase {
  const char* name;
  const char* before;
  std::string model;
  std::vector<std::string> remaining;
  bool changed;
  const char* after;  // the document as it must be (before when unchanged)
};

// A current client's settings with the user's own providers, models and
// choices around ours.
constexpr char kProvidersUsing7b[] = R"({
  "configVersion": 14, "configs": {"uuid": "1f0c"},
  "settings": {"theme": 1, "language": "en",
    "providers": {"openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
                  "ollama": {"apiHost": "http://127.0.0.1:11999",
                             "models": [{"modelId": "qwen2:7b", "nickname": "Q"},
                                        {"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"},
    "threadNamingModel": {"provider": "openai", "model": "gpt-4o"}}
})";

const std::vector<DropCase> kCases = {
    {"providers: the choice moves to the first remaining (listed there)",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {"deepseek-r1:1.5b", "qwen2:7b"},
     true,
     R"({
  "configVersion": 14, "configs": {"uuid": "1f0c"},
  "settings": {"theme": 1, "language": "en",
    "providers": {"openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
                  "ollama": {"apiHost": "http://127.0.0.1:11999",
                             "models": [{"modelId": "qwen2:7b", "nickname": "Q"},
                                        {"modelId": "deepseek-r1:1.5b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:1.5b"},
    "threadNamingModel": {"provider": "openai", "model": "gpt-4o"}}
})"},
    {"providers: the choice moves to a model the list has already",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {"qwen2:7b"},
     true,
     R"({
  "configVersion": 14, "configs": {"uuid": "1f0c"},
  "settings": {"theme": 1, "language": "en",
    "providers": {"openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
                  "ollama": {"apiHost": "http://127.0.0.1:11999",
                             "models": [{"modelId": "qwen2:7b", "nickname": "Q"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "qwen2:7b"},
    "threadNamingModel": {"provider": "openai", "model": "gpt-4o"}}
})"},
    {"providers: nothing remains, the choice is cleared",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {},
     true,
     R"({
  "configVersion": 14, "configs": {"uuid": "1f0c"},
  "settings": {"theme": 1, "language": "en",
    "providers": {"openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
                  "ollama": {"apiHost": "http://127.0.0.1:11999",
                             "models": [{"modelId": "qwen2:7b", "nickname": "Q"}]}},
    "threadNamingModel": {"provider": "openai", "model": "gpt-4o"}}
})"},
    {"providers: a model listed but not chosen only leaves the list",
     kProvidersUsing7b,
     "qwen2:7b",
     {"deepseek-r1:7b"},
     true,
     R"({
  "configVersion": 14, "configs": {"uuid": "1f0c"},
  "settings": {"theme": 1, "language": "en",
    "providers": {"openai": {"apiKey": "sk-user", "models": [{"modelId": "gpt-4o"}]},
                  "ollama": {"apiHost": "http://127.0.0.1:11999",
                             "models": [{"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"},
    "threadNamingModel": {"provider": "openai", "model": "gpt-4o"}}
})"},
    {"providers: a model the settings do not name",
     kProvidersUsing7b,
     "llama3:8b",
     {"deepseek-r1:7b"},
     false,
     kProvidersUsing7b},
    {"providers: another provider's model of the same name is the user's",
     R"({"configVersion": 14, "settings": {
          "defaultChatModel": {"provider": "openai", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {},
     false,
     R"({"configVersion": 14, "settings": {
          "defaultChatModel": {"provider": "openai", "model": "deepseek-r1:7b"}}})"},
    {"flat: the choice moves, the user's provider and keys stay",
     R"({"configVersion": 6, "myCopilots": [{"name": "翻译"}],
         "settings": {"aiProvider": "ollama", "openaiKey": "sk-user",
                      "ollamaHost": "http://127.0.0.1:11999", "ollamaModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {"deepseek-r1:1.5b"},
     true,
     R"({"configVersion": 6, "myCopilots": [{"name": "翻译"}],
         "settings": {"aiProvider": "ollama", "openaiKey": "sk-user",
                      "ollamaHost": "http://127.0.0.1:11999", "ollamaModel": "deepseek-r1:1.5b"}})"},
    {"flat: nothing remains, the model is cleared",
     R"({"configVersion": 6, "settings": {"aiProvider": "openai", "ollamaModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {},
     true,
     R"({"configVersion": 6, "settings": {"aiProvider": "openai", "ollamaModel": ""}})"},
    {"flat: a model the settings do not name",
     R"({"configVersion": 6, "settings": {"aiProvider": "ollama", "ollamaModel": "llama3:8b"}})",
     "deepseek-r1:7b",
     {},
     false,
     R"({"configVersion": 6, "settings": {"aiProvider": "ollama", "ollamaModel": "llama3:8b"}})"},
    {"both layouts: each place moves",
     R"({"settings": {"language": "zh-Hans", "aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b",
          "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {"deepseek-r1:7b", "deepseek-r1:8b"},
     true,
     R"({"settings": {"language": "zh-Hans", "aiProvider": "ollama", "ollamaModel": "deepseek-r1:8b",
          "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:8b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:8b"}}})"},
    {"both layouts: nothing remains",
     R"({"settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b",
          "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                   "models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {},
     true,
     R"({"settings": {"aiProvider": "ollama", "ollamaModel": "",
          "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999", "models": []}}}})"},
    {"places of another kind are left alone",
     R"({"settings": {"ollamaModel": 7, "providers": {"ollama": {"models": "deepseek-r1:7b"}},
                      "defaultChatModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {},
     false,
     R"({"settings": {"ollamaModel": 7, "providers": {"ollama": {"models": "deepseek-r1:7b"}},
                      "defaultChatModel": "deepseek-r1:7b"}})"},
    {"no settings object",
     R"({"settings": ["deepseek-r1:7b"]})",
     "deepseek-r1:7b",
     {},
     false,
     R"({"settings": ["deepseek-r1:7b"]})"},
};

TEST(DropChatboxModel, TheSettingsLoseTheModelAndKeepTheRest) {
  for (const DropCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Json::Value root = Parsed(c.before);
    EXPECT_EQ(DropChatboxModel(root, c.model, c.remaining), c.changed);
    EXPECT_EQ(root, Parsed(c.after)) << root.toStyledString();
    EXPECT_FALSE(ChatboxSettingsUseModel(root, c.model));
    // Applying it again finds nothing more to do.
    EXPECT_FALSE(DropChatboxModel(root, c.model, c.remaining));
  }
}

// A document whose choice moved: the client would chat with the new model.
TEST(DropChatboxModel, TheMovedChoiceIsOneTheClientUses) {
  for (const char* text : {kProvidersUsing7b,
                           R"({"configVersion": 6, "settings": {"aiProvider": "ollama",
                               "ollamaModel": "deepseek-r1:7b"}})"}) {
    Json::Value root = Parsed(text);
    ASSERT_TRUE(ChatboxSettingsUseModel(root, "deepseek-r1:7b"));
    ASSERT_TRUE(DropChatboxModel(root, "deepseek-r1:7b", {"deepseek-r1:1.5b"}));
    EXPECT_TRUE(ChatboxSettingsUseModel(root, "deepseek-r1:1.5b")) << root.toStyledString();
  }
}

}  // namespace
