// The Linux setup program, run as the engine runs it: built with a payload,
// in both modes, over empty, older and damaged installs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include <config/reg_key.h>
#include <package/package_extract.h>
#include <platform/os_encoding.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kClientSetupKey = L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251";

ZipBuildEntry Executable(const std::string& name, const std::string& data) {
  ZipBuildEntry entry = FileEntry(name, data);
  entry.externalAttributes = 0100755u << 16;
  return entry;
}

// Info-ZIP's form of a symbolic link (zip -y): the target is the data.
ZipBuildEntry Link(const std::string& name, const std::string& target) {
  ZipBuildEntry entry = FileEntry(name, target);
  entry.deflate = false;
  entry.externalAttributes = 0120777u << 16;
  return entry;
}

// Compressible but varied, so its deflated form is long.
std::string RunnerBytes() {
  std::string bytes;
  for (int i = 0; bytes.size() < 200000; ++i) bytes += "line " + std::to_string(i * 7919) + "\n";
  return bytes;
}

std::vector<ZipBuildEntry> RunnerPayload() {
  return {DirectoryEntry("bin/"), Executable("ollama", "#!/bin/sh\necho runner\n"),
          Executable("bin/ollama", RunnerBytes()), FileEntry("lib/readme.txt", "r")};
}

// Everything in folder, for "nothing else was left here".
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsExecutable(const fs::path& file) {
  struct stat st;
  return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 0100) != 0;
}

class SetupTest : public ::testing::Test {
 protected:
  // A setup file carrying payload, made by the attach tool.
  fs::path MakeSetup(const std::string& payload, const std::string& name = "OllamaSetup") {
    const fs::path zip = home_.root() / (name + ".zip");
    std::ofstream(zip, std::ios::binary) << payload;
    const fs::path setup = home_.root() / "deepseek" / name;
    fs::create_directories(setup.parent_path());
    const ChildResult made = RunChild(
        {built::AttachPayloadProgram(), built::SetupProgram(), zip.string(), setup.string()}, 60);
    EXPECT_EQ(made.exitCode, 0);
    return setup;
  }
  ChildResult Run(const fs::path& setup, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {setup.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChildWithOutput(argv, 60);
  }
  // An older install with a file and a folder of its own.
  void PlantOlderInstall(const fs::path& target) {
    fs::create_directories(target / "old-folder");
    std::ofstream(target / "old-only.txt") << "old";
    std::ofstream(target / "ollama") << "old runner";
  }
  TempHome home_;
};

TEST_F(SetupTest, SilentModeInstallsIntoTheEmptyFolderTheEngineMade) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "install" / "ollama_location";
  fs::create_directories(target);
  const ChildResult run = Run(setup, {"/silent", "/dir=" + target.string()});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadTextFile(target / "ollama"), "#!/bin/sh\necho runner\n");
  EXPECT_EQ(ReadTextFile(target / "bin/ollama"), RunnerBytes());
  EXPECT_EQ(ReadTextFile(target / "lib/readme.txt"), "r");
  EXPECT_TRUE(IsExecutable(target / "ollama"));
  EXPECT_TRUE(IsExecutable(target / "bin/ollama"));
  EXPECT_FALSE(IsExecutable(target / "lib/readme.txt"));
  // No staging folder stays beside the install.
  EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
}

TEST_F(SetupTest, AFolderWithBlanksAndChineseCharacters) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "我的 模型" / "ollama location";
  const ChildResult run = Run(setup, {"/silent", "/dir=" + target.string() + "/"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(IsExecutable(target / "ollama"));
  EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama location"});
}

TEST_F(SetupTest, AnOlderInstallIsReplacedWhole) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "ollama_location";
  PlantOlderInstall(target);
  ASSERT_EQ(Run(setup, {"/silent", "/dir=" + target.string()}).exitCode, 0);
  EXPECT_EQ(Names(target), (std::vector<std::string>{"bin", "lib", "ollama"}));
  EXPECT_EQ(ReadTextFile(target / "ollama"), "#!/bin/sh\necho runner\n");
  EXPECT_EQ(Names(home_.root() / "deepseek"), std::vector<std::string>{"OllamaSetup"});
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
    const ChildResult run = Run(setup, {"/silent", "/dir=" + target.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find(reason), std::string::npos) << run.errors;
    EXPECT_EQ(Names(target), (std::vector<std::string>{"old-folder", "old-only.txt", "ollama"}));
    EXPECT_EQ(ReadTextFile(target / "ollama"), "old runner");
    EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
  }
}

// The runner's libraries come as link chains, also across its folders.
TEST_F(SetupTest, LinksThatStayInsideTheInstallFolderAreMadeAgain) {
  std::vector<ZipBuildEntry> payload = RunnerPayload();
  payload.push_back(Link("lib/ollama/libggml.so", "libggml.so.1"));
  payload.push_back(Link("lib/ollama/libggml.so.1", "libggml.so.1.2"));
  payload.push_back(FileEntry("lib/ollama/libggml.so.1.2", "library"));
  payload.push_back(FileEntry("lib/ollama/cuda_v12/libcublas.so.12", "cublas"));
  payload.push_back(Link("lib/ollama/mlx_cuda_v12/libcublas.so.12", "../cuda_v12/libcublas.so.12"));
  payload.push_back(Link("lib/ollama/cuda", "./cuda_v12/"));
  const fs::path setup = MakeSetup(BuildZip(payload));
  const fs::path target = home_.root() / "ollama_location";
  PlantOlderInstall(target);
  const ChildResult run = Run(setup, {"/silent", "/dir=" + target.string()});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<std::pair<std::string, std::string>> links = {
      {"lib/ollama/libggml.so", "libggml.so.1"},
      {"lib/ollama/libggml.so.1", "libggml.so.1.2"},
      {"lib/ollama/mlx_cuda_v12/libcublas.so.12", "../cuda_v12/libcublas.so.12"},
      {"lib/ollama/cuda", "./cuda_v12/"}};
  for (const auto& [name, linkTarget] : links) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::is_symlink(target / name));
    EXPECT_EQ(fs::read_symlink(target / name).string(), linkTarget);
  }
  EXPECT_EQ(ReadTextFile(target / "lib/ollama/libggml.so"), "library");
  EXPECT_EQ(ReadTextFile(target / "lib/ollama/mlx_cuda_v12/libcublas.so.12"), "cublas");
  EXPECT_EQ(ReadTextFile(target / "lib/ollama/cuda/libcublas.so.12"), "cublas");
  EXPECT_TRUE(IsExecutable(target / "bin/ollama"));
  EXPECT_FALSE(IsExecutable(target / "lib/ollama/libggml.so.1.2"));
}

TEST_F(SetupTest, ALinkLeadingAnywhereElseFailsAndLeavesTheOlderInstallAsItWas) {
  struct Case {
    std::vector<ZipBuildEntry> entries;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{Link("lib/ollama/libc.so", "/etc/passwd")}, "an absolute target"},
      {{Link("lib/ollama/libc.so", "../../../outside")}, "leads out of the install folder"},
      {{Link("up", "..")}, "leads out of the install folder"},
      {{Link("lib/up", "./../..")}, "leads out of the install folder"},
      // "a" may itself be a link leading deeper, and the climb would go on
      // from there.
      {{Link("lib/ollama/libc.so", "a/../../..")}, "after a named step"},
      {{Link("lib/ollama/libc.so", "")}, "no usable target"},
      // A file entry already stands below the link's name: nothing is ever
      // written through a link.
      {{FileEntry("sub/file", "x"), Link("sub", "lib")}, "cannot make the link \"sub\""},
      {{Link("sub", "lib"), Link("sub/inner", "x")}, "cannot make the link \"sub\""},
  };
  const fs::path target = home_.root() / "install" / "ollama_location";
  PlantOlderInstall(target);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].reason + " #" + std::to_string(i));
    std::vector<ZipBuildEntry> payload = RunnerPayload();
    payload.insert(payload.end(), cases[i].entries.begin(), cases[i].entries.end());
    const fs::path setup = MakeSetup(BuildZip(payload), "case" + std::to_string(i));
    const ChildResult run = Run(setup, {"/silent", "/dir=" + target.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find(cases[i].reason), std::string::npos) << run.errors;
    EXPECT_EQ(Names(target), (std::vector<std::string>{"old-folder", "old-only.txt", "ollama"}));
    EXPECT_EQ(ReadTextFile(target / "ollama"), "old runner");
    EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
    EXPECT_FALSE(fs::exists(fs::symlink_status(home_.root() / "outside")));
  }
}

TEST_F(SetupTest, ClientModeInstallsWhereTheSetupKeySays) {
  const fs::path setup =
      MakeSetup(BuildZip({Executable("Chatbox", "client")}), "Chatbox-1.9.8-Setup");
  const fs::path target = home_.root() / "安装" / "chatbox_location";
  {
    RegKey key(platform::kCurrentUser, kClientSetupKey);
    key.SetStringValue(L"InstallLocation", platform::WidePath(target));
    key.SetStringValue(L"ShortcutName", L"Chatbox");
  }
  const ChildResult run = Run(setup, {"/S"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(ReadTextFile(target / "Chatbox"), "client");
  EXPECT_TRUE(IsExecutable(target / "Chatbox"));
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
  EXPECT_EQ(Names(home_.root() / "deepseek"), std::vector<std::string>{"Chatbox-1.9.8-Setup"});
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
  const ChildResult run = Run(built::SetupProgram(), {"/silent", "/dir=" + target.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("no payload"), std::string::npos);
  EXPECT_FALSE(fs::exists(target));
}

// The package the build makes from the stand-ins installs like the vendor's.
TEST_F(SetupTest, TheTestPackageInstallsBothStandIns) {
  const fs::path install = home_.root() / "AlTidewell 安装";
  ExtractPackageTo(platform::WidePath(fs::path(built::TestPackage())), platform::WidePath(install));
  const fs::path setups = install / "deepseek" / "deepseek";
  ASSERT_TRUE(IsExecutable(setups / "OllamaSetup"));
  ASSERT_TRUE(IsExecutable(setups / "Chatbox-1.9.8-Setup"));

  const fs::path runner = install / "ollama_location";
  fs::create_directories(runner);
  ASSERT_EQ(Run(setups / "OllamaSetup", {"/silent", "/dir=" + runner.string()}).exitCode, 0);
  const ChildResult help = RunChildWithOutput({(runner / "ollama").string(), "help"}, 60);
  EXPECT_EQ(help.output.substr(0, help.output.find('\n')), "Large language model runner");

  const fs::path client = install / "chatbox_location";
  {
    RegKey key(platform::kCurrentUser, kClientSetupKey);
    key.SetStringValue(L"InstallLocation", platform::WidePath(client));
  }
  ASSERT_EQ(Run(setups / "Chatbox-1.9.8-Setup", {"/S"}).exitCode, 0);
  fs::create_directories(home_.config() / "xyz.chatboxapp.app");
  std::ofstream(home_.config() / "xyz.chatboxapp.app" / "config.json")
      << R"({"configVersion": 14, "settings": {"defaultChatModel":
          {"provider": "ollama", "model": "deepseek-r1:7b"}, "providers": {"ollama":
          {"apiHost": "http://127.0.0.1:11500", "models": [{"modelId": "deepseek-r1:7b"}]}}}})";
  // The client stays up until it is ended; here the time limit ends it.
  const ChildResult chat = RunChildWithOutput({(client / "Chatbox").string()}, 1.0);
  EXPECT_TRUE(chat.timedOut);
  EXPECT_EQ(chat.output.substr(0, chat.output.find(" offered=")),
            "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:11500 "
            "ollama-models=deepseek-r1:7b");
}

}  // namespace
