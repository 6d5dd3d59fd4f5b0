// The client as a program where it runs as on Linux: only our own copy is
// stopped, and awaited; it is started with --no-sandbox where the sandbox
// cannot start; an AppImage is unpacked first.
#include <gtest/gtest.h>
#include <signal.h>

#include <install/chatbox_process.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <service/service_state.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::unique_ptr<platform::ChildProcess> StartCopy(const fs::path& from, const fs::path& to,
                                                  std::vector<std::string> arguments) {
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  arguments.insert(arguments.begin(), to.string());
  return platform::StartProcess(arguments);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ChatboxProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    GetServiceState().installFolder = platform::WidePath(home_.root() / "install");
    layout_ = MakeInstallLayout(GetServiceState().installFolder);
    folder_ = platform::OsPath(layout_.chatboxFolder);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    StopChatboxIn(layout_.chatboxFolder);
    GetServiceState().installFolder = std::wstring();
  }

  TempHome home_;
  InstallLayout layout_;
  fs::path folder_;
};

TEST_F(ChatboxProcess, OnlyProgramsFromOurClientFolderAreEndedAndAwaited) {
  // Programs named like the client elsewhere, one in a folder whose name
  // merely starts like ours, and two from inside ours.
  auto outside = StartCopy("/bin/sleep", home_.root() / "other" / "Chatbox", {"30"});
  auto sibling =
      StartCopy("/bin/sleep", home_.root() / "install" / "chatbox_location2" / "Chatbox", {"30"});
  auto client = StartCopy("/bin/sleep", folder_ / "Chatbox", {"30"});
  auto helper = StartCopy("/bin/sleep", folder_ / "app" / "chatbox", {"30"});
  ASSERT_TRUE(outside && sibling && client && helper);
  ASSERT_TRUE(Eventually([&] { return platform::FindProcessesInFolder(folder_).size() == 2; }));

  EXPECT_TRUE(StopChatboxIn(layout_.chatboxFolder));
  EXPECT_TRUE(platform::FindProcessesInFolder(folder_).empty());
  EXPECT_EQ(client->Wait(), -1);  // ended by the signal
  EXPECT_EQ(helper->Wait(), -1);
  EXPECT_FALSE(outside->HasExited());
  EXPECT_FALSE(sibling->HasExited());
  for (auto* other : {outside.get(), sibling.get()}) {
    platform::TerminateProcessById(other->Id());
    other->Wait();
  }
}

TEST_F(ChatboxProcess, AClientThatIgnoresTheRequestIsEndedAtOnce) {
  const fs::path ready = home_.root() / "ready";
  auto stubborn = StartCopy(
      "/bin/sh", folder_ / "Chatbox",
      {"-c", "trap '' TERM; : > \"$1\"; while :; do sleep 1; done", "sh", ready.string()});
  ASSERT_TRUE(stubborn);
  ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));
  EXPECT_TRUE(StopChatboxIn(layout_.chatboxFolder, 100));
  EXPECT_EQ(stubborn->Wait(), -1);
}

std::string Restricted() { return "user/max_user_namespaces is 0"; }
std::string Unrestricted() { return ""; }

TEST_F(ChatboxProcess, TheStartedClientIsRememberedAndGetsNoSandboxOnlyWhereItCannotStart) {
  // The client records its id and arguments, then runs a program from
  // elsewhere: only the remembered id can find it.
  const fs::path args = folder_ / "args";
  WriteScript(platform::OsPath(layout_.chatboxExecutable),
              "printf '%s\\n' \"$$\" \"$@\" > \"$0.tmp\"; mv \"$0.tmp\" \"" + args.string() +
                  "\"; exec sleep 30");
  struct Case {
    SandboxCheck check;
    std::vector<std::string> arguments;
  };
  const std::vector<Case> cases = {{&Unrestricted, {}}, {&Restricted, {"--no-sandbox"}}};
  const SandboxCheck platformCheck = SetChatboxSandboxCheck(nullptr);
  for (const Case& c : cases) {
    fs::remove(args);
    SetChatboxSandboxCheck(c.check);
    ASSERT_TRUE(StartChatbox(layout_));
    ASSERT_TRUE(Eventually([&] { return fs::exists(args); }));
    std::vector<std::string> lines = Lines(ReadTextFile(args));
    ASSERT_FALSE(lines.empty());
    const long id = std::stol(lines.front());
    lines.erase(lines.begin());
    EXPECT_EQ(lines, c.arguments);
    EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), 0);
    EXPECT_TRUE(StopChatboxIn(layout_.chatboxFolder));
    EXPECT_NE(::kill(static_cast<pid_t>(id), 0), 0);  // ended and reaped
  }
  SetChatboxSandboxCheck(platformCheck);
  EXPECT_EQ(ChatboxArguments(""), std::vector<std::string>{});
  EXPECT_EQ(ChatboxArguments(Restricted()), std::vector<std::string>{"--no-sandbox"});
}

void MarkAsAppImage(const fs::path& file) {
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(8);
  out.write("AI\x02", 3);
}

TEST_F(ChatboxProcess, AnAppImageIsUnpackedOverTheOlderCopyAndStartedFromThere) {
  const fs::path appImage = platform::OsPath(layout_.chatboxExecutable);
  fs::copy_file(TIDEWELL_APPIMAGE_STANDIN, appImage);
  MarkAsAppImage(appImage);
  const fs::path app = platform::OsPath(layout_.chatboxAppFolder);
  fs::create_directories(app);
  std::ofstream(app / "from-the-older-copy") << "x";

  ASSERT_TRUE(UnpackChatbox(layout_));
  EXPECT_TRUE(fs::exists(app / "AppRun"));
  EXPECT_FALSE(fs::exists(app / "from-the-older-copy"));
  EXPECT_TRUE(fs::is_symlink(app / ".DirIcon"));
  EXPECT_EQ(ChatboxProgramPath(layout_), layout_.chatboxProgram);
  // Nothing of the unpacking is left beside the client.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Chatbox", "app"}));

  // Not yet unpacked: starting unpacks it first.
  fs::remove_all(app);
  ASSERT_TRUE(StartChatbox(layout_));
  EXPECT_TRUE(fs::exists(app / "AppRun"));
  EXPECT_TRUE(StopChatboxIn(layout_.chatboxFolder));
}

TEST_F(ChatboxProcess, APlainProgramIsStartedAsItIs) {
  WriteScript(platform::OsPath(layout_.chatboxExecutable), "exit 0");
  EXPECT_FALSE(UnpackChatbox(layout_));
  EXPECT_EQ(ChatboxProgramPath(layout_), layout_.chatboxExecutable);
  EXPECT_FALSE(fs::exists(platform::OsPath(layout_.chatboxAppFolder)));
}

}  // namespace
