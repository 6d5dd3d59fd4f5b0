#include <gtest/gtest.h>

#include <fstream>

#include <config/config_module.h>
#include <config/rc4.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  std::wstring Path() const { return (home_.root() / "settings").wstring(); }
  void WriteScrambled(std::string text) {
    Rc4Scramble(kSettingsScrambleKey, text);
    std::ofstream(home_.root() / "settings", std::ios::binary) << text;
  }
  TempHome home_;
};

TEST_F(SettingsTest, ScrambledRoundTrip) {
  {
    CConfigModule store;
    store.SetPath(Path().c_str());
    store.token = "tok-123";
    store.username = "小明";
    store.useravter = "https://example.invalid/a.png";
    ASSERT_TRUE(store.Save());
  }
  std::ifstream raw(home_.root() / "settings", std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(raw), {});
  EXPECT_EQ(bytes.find("token"), std::string::npos);  // not stored in the clear

  CConfigModule store;
  EXPECT_EQ(CConfigModule::getSingletonPtr(), &store);
  store.SetPath(Path().c_str());
  ASSERT_TRUE(store.Load());
  EXPECT_EQ(store.token, "tok-123");
  EXPECT_EQ(store.username, "小明");
  EXPECT_EQ(store.useravter, "https://example.invalid/a.png");
  EXPECT_EQ(store.foundKeys, (std::set<std::string>{"token", "username", "useravter"}));
}

TEST_F(SettingsTest, FileIsPrivateAndReplacedWhole) {
  const fs::path file = home_.root() / "settings";
  std::ofstream(file) << "earlier";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
#ifndef _WIN32
  // A reader that has the old file open keeps it whole. (Windows refuses to
  // replace a file held open without delete sharing: the save then fails
  // and leaves the old file, as the platform tests check.)
  std::ifstream reader(file);
#endif
  CConfigModule store;
  store.SetPath(Path().c_str());
  store.token = "secret";
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ModeOf(file), 0600);
#ifndef _WIN32
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "earlier");
#endif
  CConfigModule again;
  again.SetPath(Path().c_str());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.token, "secret");
}

TEST_F(SettingsTest, PartialAndOddDocuments) {
  struct Case {
    const char* document;
    bool loads;
    const char* token;
  };
  for (const Case& c : {
           Case{R"({"user":{"token":"t","username":5}})", true, "t"},
           Case{R"({"user":["token","t"]})", true, ""},
           Case{R"({"other":1})", true, ""},
           Case{R"([{"user":{"token":"t"}}])", false, ""},  // array of one
           Case{R"([1,2])", false, ""},
           Case{R"("text")", false, ""},
           Case{R"(42)", false, ""},
           Case{R"({"user":{"token":)", false, ""},
       }) {
    WriteScrambled(c.document);
    CConfigModule store;
    store.SetPath(Path().c_str());
    EXPECT_EQ(store.Load(), c.loads) << c.document;
    EXPECT_EQ(store.token, c.token) << c.document;
    EXPECT_EQ(store.username, "") << c.document;
  }
}

TEST_F(SettingsTest, MissingEmptyFolderAndPathlessStores) {
  CConfigModule store;
  EXPECT_FALSE(store.HasPath());
  EXPECT_FALSE(store.Load());
  EXPECT_FALSE(store.Save());
  store.SetPath(nullptr);
  EXPECT_FALSE(store.HasPath());
  store.SetPath(Path().c_str());
  EXPECT_FALSE(store.Load());  // no file yet
  store.SetPath(home_.root().wstring().c_str());
  EXPECT_FALSE(store.Load());  // a folder, not a file
  store.SetPath(Path().c_str());
  std::ofstream(home_.root() / "settings").close();
  EXPECT_FALSE(store.Load());  // empty file
  store.SetScrambled(false);
  std::ofstream(home_.root() / "settings") << R"({"user":{"username":"plain"}})";
  EXPECT_TRUE(store.Load());
  EXPECT_EQ(store.username, "plain");
}

}  // namespace
