// The built stand-in as a Linux desktop runs it: one instance, settings
// written back when it ends by either signal, the AppImage's extraction and
// run, and the failures of a desktop without FUSE or user namespaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <tests/fakes/chatbox_config.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/unit/fakes/chatbox_program_samples.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Sets one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
  ~ScopedEnv() { ::unsetenv(name_); }

 private:
  const char* name_;
};

// A started program whose output goes to files under `folder`.
class Started {
 public:
  Started(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& cwd = {})
      : out_(folder / "stdout"), err_(folder / "stderr") {
    fs::create_directories(folder);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Started() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  pid_t pid() const { return pid_; }
  std::string out() const { return ReadTextFile(out_); }
  std::string err() const { return ReadTextFile(err_); }

  // Waits (a bounded time) until the stream holds `text`.
  bool WaitFor(bool errors, const std::string& text) const {
    for (int i = 0; i < 3000; ++i) {
      if ((errors ? err() : out()).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Sends the signal and returns the wait status.
  int End(int signal) {
    ::kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  fs::path out_;
  fs::path err_;
  pid_t pid_ = -1;
};

using chatbox_samples::kOurs;
using chatbox_samples::kOursSeen;

class ChatboxProgramTest : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& text) {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  Json::Value Settings() const {
    return fake_chatbox::ParseStoreText(ReadTextFile(file_)).value_or(Json::Value());
  }

  TempHome home_;
  fs::path file_ = fake_chatbox::SettingsFile();
  std::string program_ = built::FakeChatboxProgram();
};

TEST_F(ChatboxProgramTest, AStartMigratesTheFileAtOnce) {
  WriteSettings(
      R"({"configVersion": 6, "settings": {"ollamaHost": "http://127.0.0.1:5000", "myKey": 1}})");
  Started chat({program_}, home_.root() / "first");
  ASSERT_TRUE(chat.WaitFor(false, "\n"));
  const Json::Value store = Settings();
  EXPECT_EQ(store["configVersion"].asInt(), 14);
  EXPECT_EQ(store["settings"]["providers"]["ollama"]["apiHost"].asString(),
            "http://127.0.0.1:5000");
  EXPECT_FALSE(store["settings"].isMember("myKey"));
  EXPECT_FALSE(store["settings"].isMember("ollamaHost"));
  EXPECT_EQ(ModeOf(file_), 0600);
}

TEST_F(ChatboxProgramTest, ASecondStartHandsOverAndQuits) {
  WriteSettings(kOurs);
  Started first({program_}, home_.root() / "first");
  ASSERT_TRUE(first.WaitFor(false, "\n"));
  const ChildResult second = RunChildWithOutput({program_, "--some-arg"}, 60);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_EQ(second.output, "");
  EXPECT_TRUE(first.WaitFor(true, "second start: window brought forward"));
  EXPECT_EQ(first.out(), kOursSeen);
  EXPECT_EQ(ModeOf(file_.parent_path() / "SingletonSocket") & 077, 0);
  const int status = first.End(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Once it has ended, a start is a first one again.
  Started again({program_}, home_.root() / "again");
  EXPECT_TRUE(again.WaitFor(false, kOursSeen));
}

TEST_F(ChatboxProgramTest, SettingsWrittenWhileItRunsAreLostWhenItEnds) {
  for (const int signal : {SIGTERM, SIGINT}) {
    WriteSettings(kOurs);
    Started chat({program_}, home_.root() / ("run" + std::to_string(signal)));
    ASSERT_TRUE(chat.WaitFor(false, "\n"));
    WriteSettings(R"({"configVersion": 14, "configs": {"uuid": "u"}, "settings": {"__version": 2,
        "defaultChatModel": {"provider": "ollama", "model": "other:1b"}}})");
    const int status = chat.End(signal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << signal;
    const Json::Value store = Settings();
    EXPECT_EQ(store["settings"]["defaultChatModel"]["model"].asString(), "deepseek-r1:7b")
        << signal;
    EXPECT_EQ(store["configs"]["uuid"].asString(), "u") << signal;  // not a settings key: kept
  }
}

class ChatboxAppImageTest : public ChatboxProgramTest {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    fs::copy_file(program_, appImage_);
  }
  fs::path work_ = home_.root() / "work";
  fs::path appImage_ = home_.root() / "Chatbox";
};

TEST_F(ChatboxAppImageTest, ExtractsAppRunTheAppAndTheSandboxHelperHere) {
  Started extract({appImage_.string(), "--appimage-extract"}, home_.root() / "extract", work_);
  const int status = extract.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(extract.err(),
            "squashfs-root/AppRun\nsquashfs-root/chatbox\nsquashfs-root/chrome-sandbox\n"
            "squashfs-root/xyz.chatboxapp.app.desktop\n");
  const fs::path root = work_ / "squashfs-root";
  for (const char* name : {"AppRun", "chatbox"}) {
    EXPECT_EQ(ModeOf(root / name) & 0700, 0700) << name;
  }
  EXPECT_TRUE(fs::exists(root / "chrome-sandbox"));
  EXPECT_EQ(ReadTextFile(root / "chatbox"), ReadTextFile(program_));

  WriteSettings(kOurs);
  const ChildResult run = RunChildWithOutput({(root / "AppRun").string(), "--describe"}, 60);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, kOursSeen);
}

TEST_F(ChatboxAppImageTest, WithoutFuseItSaysSoAndFails) {
  ScopedEnv noFuse("TIDEWELL_FAKE_NO_FUSE", "1");
  const ChildResult run = RunChildWithOutput({appImage_.string()}, 60);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("AppImages require FUSE to run."), std::string::npos) << run.errors;
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ChatboxAppImageTest, RunDirectlyTheStartedProcessBecomesTheApp) {
  WriteSettings(kOurs);
  Started chat({appImage_.string()}, home_.root() / "run");
  ASSERT_TRUE(chat.WaitFor(false, kOursSeen));
  // The started process runs the app's own program file, not the AppImage.
  const fs::path exe = fs::read_symlink("/proc/" + std::to_string(chat.pid()) + "/exe");
  EXPECT_EQ(exe.filename(), "chatbox");
  EXPECT_NE(exe.parent_path().filename().string().rfind(".mount_Chatbo", 0), std::string::npos)
      << exe;
  const int status = chat.End(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ChatboxAppImageTest, WithoutUserNamespacesTheSandboxAbortsUnlessSwitchedOff) {
  Started extract({appImage_.string(), "--appimage-extract"}, home_.root() / "extract", work_);
  ASSERT_EQ(extract.Wait(), 0);
  const fs::path app = work_ / "squashfs-root" / "chatbox";
  ScopedEnv noUserns("TIDEWELL_FAKE_NO_USERNS", "1");
  const ChildResult aborted = RunChildWithOutput({app.string()}, 60);
  EXPECT_FALSE(aborted.timedOut);
  EXPECT_EQ(aborted.exitCode, -1);  // ended by a signal
  EXPECT_NE(aborted.errors.find(":FATAL:setuid_sandbox_host.cc"), std::string::npos);
  EXPECT_NE(aborted.errors.find("The SUID sandbox helper binary was found, but is not configured "
                                "correctly."),
            std::string::npos)
      << aborted.errors;
  EXPECT_FALSE(fs::exists(file_));

  Started unsandboxed({app.string(), "--no-sandbox"}, home_.root() / "unsandboxed");
  EXPECT_TRUE(unsandboxed.WaitFor(false, "provider="));
}

}  // namespace
