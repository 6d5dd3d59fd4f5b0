// The vendors' setups as the engine runs them on Windows: the runner's Inno
// Setup program with /silent and /dir= (its switches, which it reads in any
// case), the client's NSIS setup with /S after the install folder is put in
// the key its setup reads; a folder with a space and Chinese text travels
// as one argument.
#include <gtest/gtest.h>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <install/chatbox_client.h>
#include <install/install_layout.h>
#include <install/ollama_runner.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SetupCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    layout_ = MakeInstallLayout(platform::WidePath(home_.root() / L"安装 目录"));
    record_ = home_.root() / "record.txt";
    SetVariable("TIDEWELL_SETUP_RECORD", record_.string().c_str());
    fs::create_directories(platform::OsPath(layout_.installersFolder));
  }
  void TearDown() override { UnsetVariable("TIDEWELL_SETUP_RECORD"); }

  void PlaceSetup(const std::wstring& path) {
    fs::copy_file(TIDEWELL_SETUP_RECORDER, platform::OsPath(path));
  }

  TempHome home_;
  InstallLayout layout_;
  fs::path record_;
};

TEST_F(SetupCommand, TheRunnersSetupInstallsSilentlyIntoOurFolder) {
  PlaceSetup(layout_.ollamaSetup);
  InstallOllama(layout_);
  EXPECT_EQ(Lines(ReadTextFile(record_)),
            (std::vector<std::string>{
                "/silent", "/dir=" + platform::WideToUtf8(layout_.ollamaFolder),
                "OLLAMA_MODELS=" + platform::WideToUtf8(layout_.modelStore)}));
  EXPECT_TRUE(fs::is_directory(platform::OsPath(layout_.ollamaFolder)));
  EXPECT_TRUE(fs::is_directory(platform::OsPath(layout_.modelStore)));
}

TEST_F(SetupCommand, TheClientsSetupRunsWithSAfterTheKeyItReadsNamesOurFolder) {
  PlaceSetup(layout_.chatboxSetup);
  InstallChatbox(layout_);
  const std::vector<std::string> lines = Lines(ReadTextFile(record_));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "/S");
  EXPECT_EQ(lines.size(), 2u);  // /S and the variable line
  RegKey key;
  key.Open(platform::kCurrentUser, GetAppConstants().chatboxSetupKeyPath);
  EXPECT_EQ(key.GetStringValue(L"InstallLocation"), layout_.chatboxFolder);
  EXPECT_TRUE(fs::is_directory(platform::OsPath(layout_.chatboxFolder)));

  // A client that is there already is not installed again.
  fs::remove(record_);
  fs::copy_file(TIDEWELL_SETUP_RECORDER, platform::OsPath(layout_.chatboxExecutable));
  InstallChatbox(layout_);
  EXPECT_FALSE(fs::exists(record_));
}

}  // namespace
