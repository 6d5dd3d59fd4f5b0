#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <platform/login_program.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>
#include <tests/unit/platform/login_program_fixture.h>

namespace {

using login_test::Program;

namespace fs = std::filesystem;

// A stand-in systemctl first on PATH: each call adds a line with its
// arguments and whether the unit file was still there. The real one is
// never reached, so no test touches the session's own manager.
class StandInSystemctl {
 public:
  explicit StandInSystemctl(const TempHome& home)
      : record_(home.root() / "systemctl.txt"),
        unit_(home.config() / "systemd" / "user" / "tidewell-ollama.service") {
    WriteScript(home.root() / "bin" / "systemctl",
                "line=$(printf '%s|' \"$@\"); if [ -e '" + unit_.string() +
                    "' ]; then s=unit; else s=gone; fi; printf '%s%s\\n' \"$line\" \"$s\" >> '" +
                    record_.string() + "'");
    const char* path = std::getenv("PATH");
    savedPath_ = path != nullptr ? path : "";
    SetVariable("PATH", ((home.root() / "bin").string() + ":" + savedPath_).c_str());
  }
  ~StandInSystemctl() { SetVariable("PATH", savedPath_.c_str()); }
  std::string Calls() const { return ReadTextFile(record_); }

 private:
  fs::path record_;
  fs::path unit_;
  std::string savedPath_;
};

// What tells us a user manager runs: its private socket in the runtime
// folder (a plain file does).
void StartUserManager() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  ASSERT_NE(runtime, nullptr);
  fs::create_directories(fs::path(runtime) / "systemd");
  std::ofstream(fs::path(runtime) / "systemd" / "private").put('\0');
}

// Paths people have: blanks, quotes, '%', '$', backslashes, Chinese. Each
// must reach the program as one word, unexpanded.
TEST(LoginProgramFiles, EveryPathIsQuotedForItsFormat) {
  struct Case {
    std::string path;
    std::string unitWord;   // ExecStart's first word
    std::string entryWord;  // Exec's word after the environment
  };
  const Case cases[] = {
      {"/home/a/安装 目录/ollama", R"("/home/a/安装 目录/ollama")",
       R"("/home/a/安装 目录/ollama")"},
      {"/x/it's \"q\"/o", R"("/x/it's \"q\"/o")", R"("/x/it's \\"q\\"/o")"},
      {"/x/100%/$HOME/o", R"("/x/100%%/$$HOME/o")", R"("/x/100%%/\\$HOME/o")"},
      {"/x/a\\b/`id`", R"("/x/a\\b/`id`")", R"("/x/a\\\\b/\\`id\\`")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string unit = platform::SystemdUnitText(Program(c.path));
    EXPECT_NE(unit.find("\nExecStart=" + c.unitWord + " \"serve\"\n"), std::string::npos) << unit;
    const std::string entry = platform::AutostartEntryText(Program(c.path));
    EXPECT_NE(entry.find(" " + c.entryWord + " \"serve\"\n"), std::string::npos) << entry;
  }
  // '$' stays itself in an environment assignment, where nothing expands.
  EXPECT_NE(platform::SystemdUnitText(Program("/x/$y"))
                .find("Environment=\"OLLAMA_MODELS=/x/$y/models\""),
            std::string::npos);
}

TEST(LoginProgramFiles, UnsafeValuesAreRefusedAndNothingIsWritten) {
  TempHome home;
  for (const auto& program :
       {Program("/x/line\nbreak"), Program("relative/ollama"), Program("/x/tab\there"),
        platform::LoginProgram{"Bad Id", "d", {"/x/o"}, {}},
        platform::LoginProgram{"ok", "d", {"/x/o"}, {"=novalue"}}}) {
    EXPECT_FALSE(platform::RegisterLoginProgram(program));
  }
  EXPECT_FALSE(fs::exists(home.config() / "autostart"));
  EXPECT_FALSE(fs::exists(home.config() / "systemd"));
}

TEST(LoginProgramFiles, AUserManagerGetsAnEnabledUnitOtherwiseAnAutostartEntry) {
  TempHome home;
  StandInSystemctl systemctl(home);
  const fs::path entry = home.config() / "autostart" / "tidewell-ollama.desktop";
  const fs::path unit = home.config() / "systemd" / "user" / "tidewell-ollama.service";
  const fs::path wants =
      home.config() / "systemd" / "user" / "default.target.wants" / "tidewell-ollama.service";
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program("/opt/o")));
  ASSERT_TRUE(platform::RegisterLoginProgram(Program("/opt/o")));
  EXPECT_TRUE(fs::exists(entry));
  EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(platform::IsLoginProgramRegistered(Program("/opt/o")));
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program("/opt/other")));

  // With a user manager (its private socket in the runtime folder).
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  ASSERT_NE(runtime, nullptr);
  fs::create_directories(fs::path(runtime) / "systemd");
  std::ofstream(fs::path(runtime) / "systemd" / "private").put('\0');
  ASSERT_TRUE(platform::RegisterLoginProgram(Program("/opt/o")));
  EXPECT_TRUE(fs::exists(unit));
  EXPECT_EQ(fs::read_symlink(wants), fs::path("..") / "tidewell-ollama.service");
  EXPECT_FALSE(fs::exists(entry));  // one registration, never two servers
  EXPECT_TRUE(platform::IsLoginProgramRegistered(Program("/opt/o")));
  fs::remove(wants);  // a disabled unit does not start
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program("/opt/o")));
  ASSERT_TRUE(platform::RegisterLoginProgram(Program("/opt/o")));

  platform::UnregisterLoginProgram("tidewell-ollama");
  EXPECT_FALSE(fs::exists(unit));
  EXPECT_FALSE(fs::is_symlink(wants));
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program("/opt/o")));
  // The folders made for it go once empty.
  EXPECT_FALSE(fs::exists(home.config() / "autostart"));
  EXPECT_FALSE(fs::exists(wants.parent_path()));
}

// A running manager would keep (and restart) the program while its files
// go: it is stopped and disabled while the unit is there, and reloads after.
TEST(LoginProgramFiles, TheManagerStopsTheUnitBeforeItsFilesGoAndReloadsAfter) {
  struct Case {
    bool manager;
    std::string calls;
  };
  const Case cases[] = {
      {true,
       "--user|disable|--now|--|tidewell-ollama.service|unit\n"
       "--user|daemon-reload|gone\n"},
      {false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manager);
    TempHome home;
    StandInSystemctl systemctl(home);
    if (c.manager) StartUserManager();
    ASSERT_TRUE(platform::RegisterLoginProgram(Program("/opt/o")));
    EXPECT_EQ(systemctl.Calls(), "");  // enabling touches nothing running
    platform::UnregisterLoginProgram("tidewell-ollama");
    EXPECT_FALSE(platform::IsLoginProgramRegistered(Program("/opt/o")));
    EXPECT_EQ(systemctl.Calls(), c.calls);
  }
}

TEST(LoginProgramFiles, AnIdThatNamesNoUnitReachesNoCommandLine) {
  TempHome home;
  StandInSystemctl systemctl(home);
  StartUserManager();
  ASSERT_TRUE(platform::RegisterLoginProgram(Program("/opt/o")));
  for (const std::string id : {"", "../user/tidewell-ollama", "Bad Id", "a.service", "x\n"}) {
    platform::UnregisterLoginProgram(id);
  }
  EXPECT_EQ(systemctl.Calls(), "");
  EXPECT_TRUE(platform::IsLoginProgramRegistered(Program("/opt/o")));
}

}  // namespace
