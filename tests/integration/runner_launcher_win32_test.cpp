// Our launcher of the runner server at login: the Run value names it, and
// exactly that command line starts the runner stand-in hidden, with the
// user's environment plus ours, holding none of the launcher's handles.
#include <gtest/gtest.h>
#include <httplib.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <platform/command_line.h>
#include <platform/login_program.h>
#include <platform/os_encoding.h>
#include <platform/process_lookup.h>
#include <platform/win32/login_launcher.h>
#include <tests/fakes/utf8_path.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/loopback_socket.h>
#include <tests/support/run_key_win32.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

namespace {

namespace fs = std::filesystem;

constexpr char kLoginId[] = "tidewell-ollama";

std::string Narrow(const fs::path& path) { return platform::WideToOsNarrow(path.wstring()); }

// Starts the command line as it stands, as the shell starts a Run value, its
// output and errors into the pipe's writing end; waits for it to end (a
// bound only against a hang). Its exit code, or -1.
long RunLine(std::wstring line, HANDLE output) {
  STARTUPINFOW info{};
  info.cb = sizeof info;
  info.dwFlags = STARTF_USESTDHANDLES;
  info.hStdInput = nullptr;
  info.hStdOutput = output;
  info.hStdError = output;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &info,
                      &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

// True once the server on the port says what the runner says at "/"; gives
// up after a bound that only guards against a hang.
bool Answers(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1);
  for (int i = 0; i < 600; ++i) {
    const auto answer = client.Get("/");
    if (answer && answer->body == "Ollama is running") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class RunnerLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetVariable("TIDEWELL_FAKE_OLLAMA_START_REPORT", fake_text::PathText(Report()).c_str());
    SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "0");
    // The user's own value: ours must win over it.
    SetVariable("OLLAMA_HOST", "127.0.0.1:1");
  }
  void TearDown() override {
    for (const long id : platform::FindProcessesInFolder(home_.root())) {
      platform::KillProcessById(id);
    }
    for (const char* name : {"TIDEWELL_FAKE_OLLAMA_START_REPORT",
                             "TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "OLLAMA_HOST"}) {
      UnsetVariable(name);
    }
  }
  fs::path Report() const { return home_.root() / "start-report.txt"; }
  // The runner stand-in installed as ollama.exe in a folder of the home.
  fs::path InstallRunner(const fs::path& folder) {
    fs::create_directories(home_.root() / folder);
    const fs::path program = home_.root() / folder / "ollama.exe";
    fs::copy_file(built::FakeOllamaProgram(), program, fs::copy_options::overwrite_existing);
    return program;
  }

  TempHome home_;
};

TEST_F(RunnerLauncherTest, TheRegisteredLineStartsTheRunnerHiddenWithOurEnvironment) {
  struct Case {
    fs::path runnerFolder;
    fs::path models;
  };
  const Case cases[] = {
      {"runner", "models"},
      // Blanks and a script of its own in both paths: quoted on the way.
      {fs::path(u8"运行 程序"), fs::path(u8"模型 store")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.runnerFolder));
    fs::remove(Report());
    const fs::path program = InstallRunner(c.runnerFolder);
    const fs::path models = home_.root() / c.models;
    const int port = FreeLoopbackPort();
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const platform::LoginProgram login{kLoginId,
                                       "Tidewell local model runner",
                                       {Narrow(program), "serve"},
                                       {"OLLAMA_HOST=" + host, "OLLAMA_MODELS=" + Narrow(models)}};
    ASSERT_TRUE(platform::RegisterLoginProgram(login));
    ASSERT_TRUE(platform::IsLoginProgramRegistered(login));
    EXPECT_TRUE(platform::IsLoginIdTaken(kLoginId));

    // The launcher, no cmd.exe, each word quoted as the launcher splits it.
    const std::wstring line = RunKeyValue(L"tidewell-ollama");
    EXPECT_EQ(line, platform::QuoteProgramName(platform::win32::LoginLauncherPath()) +
                        L" --env OLLAMA_HOST=" + platform::OsNarrowToWide(host) + L" --env " +
                        platform::QuoteArgument(L"OLLAMA_MODELS=" + models.wstring()) + L" -- " +
                        platform::QuoteArgument(program.wstring()) + L" serve");

    // Its output goes into a pipe we read no further: once the launcher has
    // ended, no writing end may be left open, in the runner least of all.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inherit, 0));
    EXPECT_EQ(RunLine(line, writing), 0);
    CloseHandle(writing);

    EXPECT_TRUE(Answers(port));
    EXPECT_EQ(ReadTextFile(Report()), "console window: none\nstart window: hidden\nmodels: " +
                                          fake_text::PathText(models) + "\n");
    EXPECT_EQ(platform::FindProcessesInFolder(home_.root() / c.runnerFolder).size(), 1U);
    DWORD waiting = 0;
    EXPECT_FALSE(PeekNamedPipe(reading, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    CloseHandle(reading);

    for (const long id : platform::FindProcessesInFolder(home_.root() / c.runnerFolder)) {
      platform::KillProcessById(id);
    }
    platform::UnregisterLoginProgram(kLoginId);
    EXPECT_EQ(RunKeyValue(L"tidewell-ollama"), L"(none)");
  }
}

TEST_F(RunnerLauncherTest, RefusedArgumentsStartNothing) {
  const std::string program = Narrow(InstallRunner("runner"));
  const std::string launcher = Narrow(platform::win32::LoginLauncherPath());
  // The form's rules are the unit tests' (login_program_win32_test); here,
  // that the program reads its own command line by them, and what only the
  // file system can tell.
  const std::vector<std::vector<std::string>> cases = {
      {},
      {program, "serve"},  // no "--"
      {"--", Narrow(home_.root() / "missing" / "ollama.exe"), "serve"},
      {"--", Narrow(home_.root() / "runner"), "serve"},
  };
  for (const auto& arguments : cases) {
    std::vector<std::string> argv = {launcher};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string shown;
    for (const std::string& word : arguments) shown += "[" + word + "]";
    SCOPED_TRACE(shown);
    const ChildResult result = RunChild(argv, 120);
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(platform::FindProcessesInFolder(home_.root()).empty());
  }
  EXPECT_FALSE(fs::exists(Report()));
}

}  // namespace
