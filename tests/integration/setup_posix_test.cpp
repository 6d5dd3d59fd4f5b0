// The setup program on Linux: executable bits and symbolic links in the
// payload, and the test package built from the stand-ins.
#include <sys/stat.h>

#include "setup_fixture.h"

#include <config/reg_key.h>
#include <package/package_extract.h>

namespace {

using namespace setup_test;

// Info-ZIP's form of a symbolic link (zip -y): the target is the data.
ZipBuildEntry Link(const std::string& name, const std::string& target) {
  ZipBuildEntry entry = FileEntry(name, target);
  entry.deflate = false;
  entry.externalAttributes = 0120777u << 16;
  return entry;
}

bool IsExecutable(const fs::path& file) {
  struct stat st;
  return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 0100) != 0;
}

TEST_F(SetupTest, InstalledFilesKeepTheirExecutableBits) {
  const fs::path setup = MakeSetup(BuildZip(RunnerPayload()));
  const fs::path target = home_.root() / "install" / "ollama_location";
  fs::create_directories(target);
  const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target)});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_TRUE(IsExecutable(target / "ollama"));
  EXPECT_TRUE(IsExecutable(target / "bin/ollama"));
  EXPECT_FALSE(IsExecutable(target / "lib/readme.txt"));

  const fs::path client =
      MakeSetup(BuildZip({Executable("Chatbox", "client")}), "Chatbox-1.9.8-Setup");
  const fs::path clientTarget = home_.root() / u8"我的 模型" / "chatbox_location";
  {
    RegKey key(platform::kCurrentUser, kClientSetupKey);
    key.SetStringValue(L"InstallLocation", platform::WidePath(clientTarget));
  }
  ASSERT_EQ(Run(client, {"/S"}).exitCode, 0);
  EXPECT_TRUE(IsExecutable(clientTarget / "Chatbox"));
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
  const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target)});
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
    const ChildResult run = Run(setup, {"/silent", "/dir=" + Arg(target)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find(cases[i].reason), std::string::npos) << run.errors;
    EXPECT_EQ(Names(target), (std::vector<std::string>{"old-folder", "old-only.txt", "ollama"}));
    EXPECT_EQ(ReadTextFile(target / "ollama"), "old runner");
    EXPECT_EQ(Names(target.parent_path()), std::vector<std::string>{"ollama_location"});
    EXPECT_FALSE(fs::exists(fs::symlink_status(home_.root() / "outside")));
  }
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
  ASSERT_EQ(Run(setups / "OllamaSetup", {"/silent", "/dir=" + Arg(runner)}).exitCode, 0);
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
