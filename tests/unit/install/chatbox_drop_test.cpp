// The client's settings losing a model the runner no longer has.
#include <gtest/gtest.h>

#include <config/json_text.h>
#include <install/chatbox_settings.h>
#include <tests/unit/install/chatbox_config_fixture.h>

#include <string>
#include <vector>

namespace {

using chatbox_test::Parsed;

// One change to the document: the member at a dotted path gets a new value
// (JSON text), or goes when the value is empty.
struct Edit {
  const char* path;
  const char* value;
};

Json::Value Edited(const char* before, const std::vector<Edit>& edits) {
  Json::Value root = Parsed(before);
  for (const Edit& edit : edits) {
    Json::Value* node = &root;
    std::string path = edit.path;
    for (std::size_t dot; (dot = path.find('.')) != std::string::npos;
         path = path.substr(dot + 1)) {
      node = &(*node)[path.substr(0, dot)];
    }
    if (*edit.value == '\0') {
      node->removeMember(path);
    } else {
      (*node)[path] = Parsed(edit.value);
    }
  }
  return root;
}

struct DropCase {
  const char* name;
  const char* before;
  std::string model;
  std::vector<std::string> remaining;
  std::vector<Edit> edits;  // what must change; none: the document stays as it was
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
constexpr char kOllamaModels[] = "settings.providers.ollama.models";

const std::vector<DropCase> kCases = {
    {"providers: the choice moves to the first remaining (listed there)",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {"deepseek-r1:1.5b", "qwen2:7b"},
     {{kOllamaModels, R"([{"modelId": "qwen2:7b", "nickname": "Q"},
                          {"modelId": "deepseek-r1:1.5b"}])"},
      {"settings.defaultChatModel.model", R"("deepseek-r1:1.5b")"}}},
    {"providers: the choice moves to a model the list has already",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {"qwen2:7b"},
     {{kOllamaModels, R"([{"modelId": "qwen2:7b", "nickname": "Q"}])"},
      {"settings.defaultChatModel.model", R"("qwen2:7b")"}}},
    {"providers: nothing remains, the choice is cleared",
     kProvidersUsing7b,
     "deepseek-r1:7b",
     {},
     {{kOllamaModels, R"([{"modelId": "qwen2:7b", "nickname": "Q"}])"},
      {"settings.defaultChatModel", ""}}},
    {"providers: a model listed but not chosen only leaves the list",
     kProvidersUsing7b,
     "qwen2:7b",
     {"deepseek-r1:7b"},
     {{kOllamaModels, R"([{"modelId": "deepseek-r1:7b"}])"}}},
    {"providers: a model the settings do not name",
     kProvidersUsing7b,
     "llama3:8b",
     {"deepseek-r1:7b"},
     {}},
    {"providers: another provider's model of the same name is the user's",
     R"({"configVersion": 14, "settings": {
          "defaultChatModel": {"provider": "openai", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {},
     {}},
    {"flat: the choice moves, the user's provider and keys stay",
     R"({"configVersion": 6, "myCopilots": [{"name": "翻译"}],
         "settings": {"aiProvider": "ollama", "openaiKey": "sk-user",
                      "ollamaHost": "http://127.0.0.1:11999", "ollamaModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {"deepseek-r1:1.5b"},
     {{"settings.ollamaModel", R"("deepseek-r1:1.5b")"}}},
    {"flat: nothing remains, the model is cleared",
     R"({"configVersion": 6, "settings": {"aiProvider": "openai", "ollamaModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {},
     {{"settings.ollamaModel", R"("")"}}},
    {"flat: a model the settings do not name",
     R"({"configVersion": 6, "settings": {"aiProvider": "ollama", "ollamaModel": "llama3:8b"}})",
     "deepseek-r1:7b",
     {},
     {}},
    {"both layouts: each place moves",
     R"({"settings": {"language": "zh-Hans", "aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b",
          "providers": {"ollama": {"models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {"deepseek-r1:7b", "deepseek-r1:8b"},
     {{"settings.ollamaModel", R"("deepseek-r1:8b")"},
      {kOllamaModels, R"([{"modelId": "deepseek-r1:8b"}])"},
      {"settings.defaultChatModel.model", R"("deepseek-r1:8b")"}}},
    {"both layouts: nothing remains",
     R"({"settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b",
          "providers": {"ollama": {"apiHost": "http://127.0.0.1:11999",
                                   "models": [{"modelId": "deepseek-r1:7b"}]}},
          "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})",
     "deepseek-r1:7b",
     {},
     {{"settings.ollamaModel", R"("")"}, {kOllamaModels, "[]"}, {"settings.defaultChatModel", ""}}},
    {"places of another kind are left alone",
     R"({"settings": {"ollamaModel": 7, "providers": {"ollama": {"models": "deepseek-r1:7b"}},
                      "defaultChatModel": "deepseek-r1:7b"}})",
     "deepseek-r1:7b",
     {},
     {}},
    {"no settings object", R"({"settings": ["deepseek-r1:7b"]})", "deepseek-r1:7b", {}, {}},
};

TEST(DropChatboxModel, TheSettingsLoseTheModelAndKeepTheRest) {
  for (const DropCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Json::Value root = Parsed(c.before);
    const Json::Value expected = Edited(c.before, c.edits);
    EXPECT_EQ(DropChatboxModel(root, c.model, c.remaining), !c.edits.empty());
    EXPECT_EQ(root, expected) << root.toStyledString();
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
