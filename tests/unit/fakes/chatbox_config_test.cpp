#include <gtest/gtest.h>

#include <fstream>

#include <json/json.h>
#include <tests/fakes/chatbox_config.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;
using fake_chatbox::OpenStore;
using fake_chatbox::ParseStoreText;

class ChatboxConfigTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = folder() / name;
    fs::create_directories(folder());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  fs::path folder() const { return fake_chatbox::SettingsFile().parent_path(); }
  TempHome home_;
};

TEST_F(ChatboxConfigTest, SettingsFileIsInTheConfigHome) {
  EXPECT_EQ(fake_chatbox::SettingsFile(), home_.config() / "xyz.chatboxapp.app" / "config.json");
}

TEST_F(ChatboxConfigTest, TheStoreIsReadAsJsonParseReadsIt) {
  struct Case {
    const char* text;
    bool parses;
  };
  const Case cases[] = {
      {R"({"configVersion": 14})", true},
      {"[1, 2]", true},  // any value at the root
      {"\"text\"", true},
      {"{\"a\": 1} // note", false},
      {"/* note */ {}", false},
      {R"({"a": 1} {"b": 2})", false},
      {"{'a': 1}", false},
      {"{not json", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseStoreText(c.text).has_value(), c.parses) << c.text;
  }
}

TEST_F(ChatboxConfigTest, AMissingFileIsAnEmptyStore) {
  const Json::Value store = OpenStore(fake_chatbox::SettingsFile());
  EXPECT_TRUE(store.isObject());
  EXPECT_TRUE(store.empty());
  EXPECT_FALSE(fs::exists(fake_chatbox::SettingsFile()));
}

TEST_F(ChatboxConfigTest, ADamagedFileIsReplacedByTheNewestBackupThatParses) {
  Write("config-backup-2024-01-01T10_00_00.000Z.json", R"({"configVersion": 6})");
  Write("config-backup-2024-03-01T10_00_00.000Z.json", R"({"configVersion": 10})");
  Write("config-backup-2024-05-01T10_00_00.000Z.json", "{damaged");
  const fs::path file = Write("config.json", "{damaged");
  EXPECT_EQ(OpenStore(file)["configVersion"].asInt(), 10);
  EXPECT_EQ(ReadTextFile(file), R"({"configVersion": 10})");
}

TEST_F(ChatboxConfigTest, ADamagedFileWithoutBackupsIsAnEmptyStoreAndStaysAsItIs) {
  const fs::path file = Write("config.json", "{damaged");
  const Json::Value store = OpenStore(file);
  EXPECT_TRUE(store.isObject());
  EXPECT_TRUE(store.empty());
  EXPECT_EQ(ReadTextFile(file), "{damaged");
}

TEST_F(ChatboxConfigTest, TheStoreIsWrittenPrivateTabIndentedAndWhole) {
  Json::Value store;
  store["configVersion"] = 14;
  store["settings"]["language"] = "zh-Hans";
  const fs::path file = fake_chatbox::SettingsFile();
  ASSERT_EQ(fake_chatbox::SaveStore(file, store), 0);
  EXPECT_EQ(ModeOf(file), 0600);
  EXPECT_EQ(ModeOf(file.parent_path()), 0700);
  const std::string text = ReadTextFile(file);
  EXPECT_NE(text.find("\n\t\"configVersion\": 14"), std::string::npos) << text;
  EXPECT_EQ(*ParseStoreText(text), store);
}

}  // namespace
