#include <gtest/gtest.h>

#include <json/json.h>
#include <tests/fakes/chatbox_config.h>
#include <tests/fakes/chatbox_load.h>
#include <tests/fakes/chatbox_schema.h>
#include <tests/fakes/chatbox_view.h>

namespace {

using fake_chatbox::ClientVersion;
using fake_chatbox::LoadedStore;

Json::Value Json(const std::string& text) {
  const std::optional<Json::Value> value = fake_chatbox::ParseStoreText(text);
  EXPECT_TRUE(value.has_value()) << text;
  return value.value_or(Json::Value());
}

std::string Seen(ClientVersion client, const LoadedStore& loaded) {
  return fake_chatbox::DescribeView(fake_chatbox::ViewOf(client, loaded.held));
}

constexpr ClientVersion kCurrent = ClientVersion::V1_20_0;
constexpr ClientVersion kOld = ClientVersion::V1_9_8;

// What our installer writes for each Chatbox: the flat keys of older
// versions, the provider and default model of current ones.
constexpr const char* kFlat =
    R"("aiProvider": "ollama", "ollamaHost": "http://127.0.0.1:5000", "ollamaModel": "deepseek-r1:7b")";
constexpr const char* kProvider =
    R"("providers": {"ollama": {"apiHost": "http://127.0.0.1:6000",
                                "models": [{"modelId": "deepseek-r1:7b"}, {"modelId": "qwen2:0.5b"}]}},
       "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"})";

TEST(ChatboxLoadTest, EachClientReadsTheFileByItsConfigVersion) {
  struct Case {
    const char* name;
    ClientVersion client;
    std::string file;
    std::string seen;
    int version;  // configVersion after the start
    bool firstRun;
  };
  const std::string flat = kFlat;
  const std::string both = std::string(kFlat) + ", " + kProvider;
  const Case cases[] = {
      {"no version: first run, flat keys never read", kCurrent, "{\"settings\": {" + flat + "}}",
       "provider= model= host=http://127.0.0.1:11434 ollama-models= offered=", 14, true},
      {"version 0: the same", kCurrent, "{\"configVersion\": 0, \"settings\": {" + flat + "}}",
       "provider= model= host=http://127.0.0.1:11434 ollama-models= offered=", 14, true},
      {"no version, new keys: read on a first run too", kCurrent, "{\"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:6000 "
       "ollama-models=deepseek-r1:7b,qwen2:0.5b offered=ollama",
       14, true},
      {"version 6: migrated, the host carried over, the model not", kCurrent,
       "{\"configVersion\": 6, \"settings\": {" + flat + "}}",
       "provider= model= host=http://127.0.0.1:5000 ollama-models= offered=", 14, false},
      {"version 6 with new keys: providers rebuilt from the flat ones", kCurrent,
       "{\"configVersion\": 6, \"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:5000 ollama-models= offered=",
       14, false},
      {"version 14: read as it is", kCurrent,
       "{\"configVersion\": 14, \"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:6000 "
       "ollama-models=deepseek-r1:7b,qwen2:0.5b offered=ollama",
       14, false},
      {"a later version: read as it is, left as it is", kCurrent,
       "{\"configVersion\": 15, \"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:6000 "
       "ollama-models=deepseek-r1:7b,qwen2:0.5b offered=ollama",
       15, false},
      {"no models: Ollama not offered", kCurrent,
       R"({"configVersion": 14, "settings": {"providers": {"ollama": {"apiHost": "http://h:1", "models": []},
          "openai": {"apiKey": "sk-1"}}}})",
       "provider= model= host=http://h:1 ollama-models= offered=openai", 14, false},
      {"1.9.8, no version: its own migrations, flat keys read", kOld,
       "{\"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:5000 ollama-models= "
       "offered=ollama",
       6, true},
      {"1.9.8, version 14: flat keys read, version left", kOld,
       "{\"configVersion\": 14, \"settings\": {" + both + "}}",
       "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:5000 ollama-models= "
       "offered=ollama",
       14, false},
      {"1.9.8, new keys only: its defaults", kOld,
       "{\"configVersion\": 14, \"settings\": {" + std::string(kProvider) + "}}",
       "provider=openai model=gpt-4o host=http://127.0.0.1:11434 ollama-models= offered=openai", 14,
       false},
  };
  for (const Case& c : cases) {
    const LoadedStore loaded = fake_chatbox::LoadStore(c.client, Json(c.file));
    EXPECT_EQ(Seen(c.client, loaded), c.seen) << c.name;
    EXPECT_EQ(loaded.file["configVersion"].asInt(), c.version) << c.name;
    EXPECT_EQ(loaded.firstRun, c.firstRun) << c.name;
  }
}

TEST(ChatboxLoadTest, TheCurrentClientDropsWhatItsSchemaDoesNotKnowWhenItSaves) {
  const LoadedStore loaded = fake_chatbox::LoadStore(kCurrent, Json(R"({"configVersion": 14,
      "settings": {"__version": 2, "ollamaModel": "deepseek-r1:7b", "myKey": 1,
        "theme": 0, "language": "zh-Hans", "fontSize": 18, "showTokenCount": true,
        "providers": {"ollama": {"apiHost": "http://h:1", "note": "x",
                                 "models": [{"modelId": "a", "extra": true}]}},
        "customProviders": [{"id": "custom-provider-1", "name": "Mine", "isCustom": true,
                             "type": "openai", "color": "red"}],
        "defaultChatModel": {"provider": "ollama", "model": "a", "why": "x"}}})"));
  const Json::Value expected = Json(R"({"__version": 2, "theme": 0, "language": "zh-Hans",
      "fontSize": 18, "showTokenCount": true,
      "providers": {"ollama": {"apiHost": "http://h:1", "models": [{"modelId": "a"}]}},
      "customProviders": [{"id": "custom-provider-1", "name": "Mine", "isCustom": true,
                           "type": "openai"}],
      "defaultChatModel": {"provider": "ollama", "model": "a"}})");
  const Json::Value& saved = loaded.file["settings"];
  for (const std::string& key : expected.getMemberNames()) {
    EXPECT_EQ(saved[key], expected[key]) << key;
  }
  for (const char* gone : {"ollamaModel", "myKey"}) EXPECT_FALSE(saved.isMember(gone)) << gone;
  for (const std::string& key : saved.getMemberNames()) {
    const auto known = fake_chatbox::CurrentSettingsKeys();
    EXPECT_TRUE(key == "__version" || std::find(known.begin(), known.end(), key) != known.end())
        << key;
  }
}

TEST(ChatboxLoadTest, ValuesOfTheWrongTypeGoAsTheSchemaSays) {
  struct Case {
    const char* name;
    const char* settings;
    const char* key;
    const char* saved;  // JSON of the saved value; nullptr: not saved
  };
  const Case cases[] = {
      {"a model entry without an id drops the whole list",
       R"({"providers": {"ollama": {"apiHost": "h", "models": [{"modelId": "a"}, {"name": "b"}]}}})",
       "providers", R"({"ollama": {"apiHost": "h"}})"},
      {"a default model without a provider is dropped", R"({"defaultChatModel": {"model": "a"}})",
       "defaultChatModel", nullptr},
      {"a font size that is no number falls back to 14", R"({"fontSize": "big"})", "fontSize",
       "14"},
      {"a provider that is no object drops all providers",
       R"({"providers": {"ollama": {"apiHost": "h"}, "openai": 5}})", "providers", nullptr},
  };
  for (const Case& c : cases) {
    Json::Value file(Json::objectValue);
    file["configVersion"] = 14;
    file["settings"] = Json(c.settings);
    const Json::Value saved = fake_chatbox::LoadStore(kCurrent, file).file["settings"];
    if (c.saved == nullptr) {
      EXPECT_FALSE(saved.isMember(c.key)) << c.name;
    } else {
      EXPECT_EQ(saved[c.key], Json(c.saved)) << c.name;
    }
  }
}

TEST(ChatboxLoadTest, ARequiredValueOfTheWrongTypeResetsTheSettingsOnAMigratingLoad) {
  // The settings store's migration parses, the parse throws, and the store
  // keeps its initial state: the user's values are gone at the next save.
  const LoadedStore loaded = fake_chatbox::LoadStore(
      kCurrent, Json(R"({"configVersion": 14, "settings": {"theme": "dark", "fontSize": 20}})"));
  EXPECT_EQ(loaded.file["settings"]["fontSize"].asInt(), 14);
  EXPECT_EQ(loaded.file["settings"]["theme"].asInt(), 2);
}

TEST(ChatboxLoadTest, OlderStoresLeaveOnlySettingsConfigsAndVersionInTheFile) {
  const auto file = [](int version) {
    return Json(R"({"configVersion": )" + std::to_string(version) +
                R"(, "settings": {}, "configs": {"uuid": "u"}, "chat-sessions": [],
                    "lastShownAboutDialogVersion": "1.9.8"})");
  };
  const Json::Value migrated = fake_chatbox::LoadStore(kCurrent, file(6)).file;
  EXPECT_EQ(migrated.getMemberNames(),
            (std::vector<std::string>{"configVersion", "configs", "settings"}));
  const Json::Value current = fake_chatbox::LoadStore(kCurrent, file(14)).file;
  EXPECT_TRUE(current.isMember("chat-sessions"));
  EXPECT_TRUE(current.isMember("lastShownAboutDialogVersion"));
}

TEST(ChatboxLoadTest, TheMigrationToTenBuildsProvidersFromFlatKeys) {
  const Json::Value settings = fake_chatbox::LoadStore(kCurrent, Json(R"({"configVersion": 9,
      "settings": {"claudeApiKey": "ck", "lmStudioHost": "http://l:1", "fontSize": 16,
        "ollamaHost": "", "ollamaModel": "m",
        "customProviders": [{"name": "Mine", "host": "http://c:1", "key": "k",
                             "model": "c1", "modelOptions": ["c0", "c1"]}]}})"))
                                   .file["settings"];
  EXPECT_EQ(settings["providers"]["claude"], Json(R"({"apiKey": "ck"})"));
  EXPECT_EQ(settings["providers"]["lm-studio"], Json(R"({"apiHost": "http://l:1"})"));
  EXPECT_FALSE(settings["providers"].isMember("ollama"));  // an empty host opens nothing
  EXPECT_EQ(settings["fontSize"].asInt(), 14);             // the step to 11 fixes 16
  ASSERT_EQ(settings["customProviders"].size(), 1u);
  const std::string id = settings["customProviders"][0]["id"].asString();
  EXPECT_EQ(id.rfind("custom-provider-", 0), 0u) << id;
  EXPECT_EQ(settings["providers"][id], Json(R"({"apiHost": "http://c:1", "apiKey": "k",
                     "models": [{"modelId": "c0"}, {"modelId": "c1"}]})"));
}

TEST(ChatboxLoadTest, TheOldClientKeepsEveryKeyAndFillsInItsDefaults) {
  const LoadedStore loaded = fake_chatbox::LoadStore(
      kOld, Json(std::string("{\"configVersion\": 14, \"settings\": {\"myKey\": 1, ") + kProvider +
                 "}}"));
  const Json::Value& saved = loaded.file["settings"];
  EXPECT_EQ(saved["myKey"].asInt(), 1);
  EXPECT_EQ(saved["defaultChatModel"]["model"].asString(), "deepseek-r1:7b");
  EXPECT_EQ(saved["providers"]["ollama"]["models"].size(), 2u);
  EXPECT_EQ(saved["ollamaHost"].asString(), "http://127.0.0.1:11434");
  EXPECT_FALSE(saved.isMember("__version"));
}

TEST(ChatboxLoadTest, WritingBackReplacesOnlyTheSettings) {
  const LoadedStore loaded = fake_chatbox::LoadStore(
      kCurrent, Json(std::string("{\"configVersion\": 14, \"settings\": {") + kProvider + "}}"));
  const Json::Value onDisk = Json(R"({"configVersion": 14, "configs": {"uuid": "u"},
      "settings": {"providers": {"ollama": {"models": [{"modelId": "other"}]}}}})");
  const Json::Value written = fake_chatbox::FileWithSettings(kCurrent, onDisk, loaded.held);
  EXPECT_EQ(written["configs"]["uuid"].asString(), "u");
  EXPECT_EQ(written["settings"], loaded.file["settings"]);
}

TEST(ChatboxLoadTest, TheLineShowsControlCharactersAsQuestionMarks) {
  const LoadedStore loaded = fake_chatbox::LoadStore(kCurrent, Json(R"({"configVersion": 14,
      "settings": {"defaultChatModel": {"provider": "ollama", "model": "a\nb"},
                   "providers": {"ollama": {"apiHost": "h\u0007", "models": [{"modelId": "a\tb"}]}}}})"));
  EXPECT_EQ(Seen(kCurrent, loaded),
            "provider=ollama model=a?b host=h? ollama-models=a?b offered=ollama");
}

TEST(ChatboxLoadTest, ClientVersionsByName) {
  EXPECT_EQ(fake_chatbox::ClientVersionNamed(""), kCurrent);
  EXPECT_EQ(fake_chatbox::ClientVersionNamed("1.20.0"), kCurrent);
  EXPECT_EQ(fake_chatbox::ClientVersionNamed("1.9.8"), kOld);
  EXPECT_FALSE(fake_chatbox::ClientVersionNamed("2.0"));
  EXPECT_EQ(fake_chatbox::OwnConfigVersion(kCurrent), 14);
  EXPECT_EQ(fake_chatbox::OwnConfigVersion(kOld), 6);
}

}  // namespace
