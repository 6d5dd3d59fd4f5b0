// The setup program, run as the engine runs it: built with a payload, in
// both modes, over empty, older and damaged installs.
#include "setup_fixture.h"

#include <config/reg_key.h>

namespace {

using namespace setup_test;

TEST_F(SetupTest, SilentModeInstallsIntoTheEmptyFolderTheEngineMade) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "install" / "ollama_location";
  fs::create_directories(target);
  const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target)});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadTextFile(target / "ollama"), "#!/bin/sh\necho runner\n");
  EXPECT_EQ(ReadTextFile(target / "bin/ollama"), RunnerBytes());
  EXPECT_EQ(ReadTextFile(target / "lib/readme.txt"), "r");
  // No staging folder stays beside the install.
  EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
}

TEST_F(SetupTest, AFolderWithBlanksAndChineseCharacters) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / u8"我的 模型" / "ollama location";
  const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target) + "/"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama location"});
}

TEST_F(SetupTest, AnOlderInstallIsReplacedWhole) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "ollama_location";
  PlantOlderInstall(target);
  ASSERT_EQ(Run(setup, {"/silent", "/dir=" + Arg(target)}).exitCode, 0);
  EXPECT_EQ(Names(target), (std::vector<std::string>{"bin", "lib", "ollama"}));
  EXPECT_EQ(ReadTextFile(target / "ollama"), "#!/bin/sh\necho runner\n");
  EXPECT_EQ(Names(home_.root() / "deepseek"), std::vector<std::string>{ProgramName("OllamaSetup")});
  EXPECT_TRUE(fs::is_directory(target));
}

TEST_F(SetupTest, DamagedSetupsFailAndLeaveTheOlderInstallAsItWas) {
  const std::string good = BuildZip(RunnerPayload());
  // The payload's bytes changed after the setup was made.
  const fs::path flipped = MakeSetup(good, "flipped");
  {
    std::fstream file(flipped, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(fs::file_size(flipped) - 32 - good.size() / 2));
    file.put('\x55');
  }
  // The file was cut short: its trailer is gone.
  const fs::path cut = MakeSetup(good, "cut");
  fs::resize_file(cut, fs::file_size(cut) - 100);
  // A payload that is itself a truncated archive (its checksum matches).
  const fs::path truncated = MakeSetup(good.substr(0, good.size() - 40), "truncated");
  // An archive whose deflated data is broken halfway through a large entry:
  // the unpacking fails after some files were written.
  std::string broken = good;
  const std::size_t data = broken.find("bin/ollama") + 2000;  // inside its deflated data
  for (std::size_t i = 0; i < 64; ++i) broken[data + i] = static_cast<char>(0xff - i);
  const fs::path inflateFails = MakeSetup(broken, "inflate");

  const fs::path target = home_.root() / "install" / "ollama_location";
  PlantOlderInstall(target);
  const std::vector<std::pair<fs::path, std::string>> cases = {
      {flipped, "checksum mismatch"},
      {cut, "trailer is missing"},
      {truncated, "not a readable zip archive"},
      {inflateFails, "unpacking \"bin/ollama\" failed"}};
  for (const auto& [setup, reason] : cases) {
    SCOPED_TRACE(setup.filename().string());
    const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find(reason), std::string::npos) << run.errors;
    EXPECT_EQ(Names(target), (std::vector<std::string>{"old-folder", "old-only.txt", "ollama"}));
    EXPECT_EQ(ReadTextFile(target / "ollama"), "old runner");
    EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
  }
}

TEST_F(SetupTest, ClientModeInstallsWhereTheSetupKeySays) {
  const fs::path setup =
      MakeSetup(BuildZip({Executable("Chatbox", "client")}), "Chatbox-1.9.8-Setup");
  const fs::path target = home_.root() / u8"安装" / "chatbox_location";
  {
    RegKey key(platform::kCurrentUser, kClientSetupKey);
    key.SetStringValue(L"InstallLocation", platform::WidePath(target));
    key.SetStringValue(L"ShortcutName", L"Chatbox");
  }
  const ChildResult run = Run(setup, {"/S"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadTextFile(target / "Chatbox"), "client");
}

TEST_F(SetupTest, ClientModeWithoutTheKeyValueFailsAndInstallsNothing) {
  const fs::path setup =
      MakeSetup(BuildZip({Executable("Chatbox", "client")}), "Chatbox-1.9.8-Setup");
  const ChildResult missingKey = Run(setup, {"/S"});
  EXPECT_EQ(missingKey.exitCode, 1);
  EXPECT_NE(missingKey.errors.find("InstallLocation"), std::string::npos);
  platform::KeyHandle probe = 0;  // looking did not make the key
  EXPECT_EQ(platform::OpenKey(platform::kCurrentUser, kClientSetupKey, platform::kKeyRead, &probe),
            platform::kErrorFileNotFound);
  {
    RegKey key(platform::kCurrentUser, kClientSetupKey);
    key.SetStringValue(L"ShortcutName", L"Chatbox");
  }
  EXPECT_EQ(Run(setup, {"/S"}).exitCode, 1);
  EXPECT_EQ(Names(home_.root() / "deepseek"), std::vector<std::string>{ProgramName("Chatbox-1.9.8-Setup")});
}

TEST_F(SetupTest, UsageErrorsExitWithTwo) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"/silent"},
                                             {"/silent", "/dir="},
                                             {"/dir=/x", "/silent"},
                                             {"/S", "/silent"},
                                             {"--help"}}) {
    const ChildResult run = Run(setup, args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.errors.find("usage: tidewell_setup"), std::string::npos);
  }
}

TEST_F(SetupTest, TheBareProgramHasNoPayload) {
  const fs::path target = home_.root() / "ollama_location";
  const ChildResult run = Run(built::SetupProgram(), {"/silent", "/dir=" + Arg(target)});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("no payload"), std::string::npos);
  EXPECT_FALSE(fs::exists(target));
}

}  // namespace
