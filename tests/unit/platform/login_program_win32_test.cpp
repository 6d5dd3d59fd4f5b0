#include <gtest/gtest.h>
#include <windows.h>

#include <platform/command_line.h>
#include <platform/login_program.h>
#include <platform/win32/login_launcher.h>
#include <tests/support/run_key_win32.h>
#include <tests/support/user_sandbox.h>

namespace {

// Our launcher beside this program, as the line names it.
std::wstring Launcher() {
  return platform::QuoteProgramName(platform::win32::LoginLauncherPath());
}

// The Run key's value is the command line the shell starts at login: our
// launcher, never cmd.exe, with the words quoted as the launcher splits them.
TEST(LoginProgramRunKey, TheLineNamesOurLauncherWithTheEnvironmentAndTheProgram) {
  UserSandbox sandbox;
  struct Case {
    platform::LoginProgram program;
    std::wstring line;
  };
  const Case cases[] = {
      {{"plain", "d", {"C:\\Program Files\\o.exe", "serve"}, {}},
       Launcher() + L" -- \"C:\\Program Files\\o.exe\" serve"},
      // A trailing backslash must not escape a closing quote.
      {{"folder-arg", "d", {"C:\\o.exe", "D:\\my models\\"}, {}},
       Launcher() + L" -- C:\\o.exe \"D:\\my models\\\\\""},
      // '&', '^', '|' and '<' are plain text: no shell reads the line.
      {{"with-env", "d", {"C:\\a&b^c\\o.exe", "serve"}, {"OLLAMA_MODELS=D:\\x y|z<", "H=1"}},
       Launcher() + L" --env \"OLLAMA_MODELS=D:\\x y|z<\" --env H=1 -- C:\\a&b^c\\o.exe serve"},
      {{"quote", "d", {"C:\\o.exe", "a\"b"}, {}}, Launcher() + L" -- C:\\o.exe \"a\\\"b\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program.id);
    ASSERT_TRUE(platform::RegisterLoginProgram(c.program));
    const std::wstring name(c.program.id.begin(), c.program.id.end());
    EXPECT_EQ(RunKeyValue(name.c_str()), c.line);
    EXPECT_TRUE(platform::IsLoginProgramRegistered(c.program));
    platform::UnregisterLoginProgram(c.program.id);
    EXPECT_EQ(RunKeyValue(name.c_str()), L"(none)");
  }
}

// What the launcher would refuse is never registered; '%' may be expanded
// by whoever starts the Run values.
TEST(LoginProgramRunKey, WhatTheLauncherWouldRefuseIsNotRegistered) {
  UserSandbox sandbox;
  for (const platform::LoginProgram& program :
       {platform::LoginProgram{"p", "d", {"C:\\100%\\o.exe"}, {}},
        platform::LoginProgram{"e", "d", {"C:\\o.exe"}, {"X=%PATH%"}},
        platform::LoginProgram{"l", "d", {"C:\\o.exe"}, {"lower=1"}},
        platform::LoginProgram{"b", "d", {"C:\\o.exe"}, {"A B=1"}},
        platform::LoginProgram{"n", "d", {"C:\\o.exe"}, {"9A=1"}},
        platform::LoginProgram{"x", "d", {"C:\\o.cmd"}, {}},
        platform::LoginProgram{"r", "d", {"o.exe"}, {}},
        platform::LoginProgram{"s", "d", {"/opt/o"}, {}}}) {
    EXPECT_FALSE(platform::RegisterLoginProgram(program)) << program.id;
    EXPECT_FALSE(platform::IsLoginIdTaken(program.id)) << program.id;
  }
}

// The launcher's own reading of its arguments, one row per form.
TEST(LoginLauncherArguments, ReadBackAsWrittenOrRefused) {
  const platform::win32::LaunchRequest request{{L"OLLAMA_HOST=127.0.0.1:1", L"_X9=a=b"},
                                               {L"\\\\host\\share\\o.EXE", L"serve", L""}};
  const auto read = platform::win32::ParseLauncherArguments(
      platform::win32::LauncherArguments(request));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->environment, request.environment);
  EXPECT_EQ(read->argv, request.argv);
  struct Case {
    std::vector<std::wstring> arguments;
    bool accepted;
  };
  const Case cases[] = {
      {{L"--", L"C:\\o.exe"}, true},
      {{L"--env", L"A=", L"--", L"C:\\o.exe"}, true},
      {{L"--", L"C:\\o.exe", L"--env", L"a"}, true},  // the program's own words
      {{L"C:\\o.exe"}, false},
      {{L"--env", L"A=1", L"C:\\o.exe"}, false},
      {{L"--environment", L"A=1", L"--", L"C:\\o.exe"}, false},
      {{L"--env", L"A=1\t", L"--", L"C:\\o.exe"}, false},
      {{L"--env", L"ollama_host=127.0.0.1:1", L"--", L"C:\\o.exe"}, false},  // lower case
      {{L"--env", L"OLLAMA_HOST", L"--", L"C:\\o.exe"}, false},              // no '='
      {{L"--", L"o.exe", L"serve"}, false},
      {{L"--", L"C:o.exe", L"serve"}, false},  // the drive's current folder
      {{L"--", L"C:\\o.cmd", L"serve"}, false},
      {{L"--", L"C:\\o.exe", L"x\ny"}, false},
      {{L"--", L"C:\\.exe"}, false},
      {{L"--", L"\\\\?\\C:\\o.exe"}, false},
      {{L"--", L"\\o.exe"}, false},
      {{L"--"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::win32::ParseLauncherArguments(c.arguments).has_value(), c.accepted)
        << c.arguments.size() << " " << std::string(c.arguments.back().begin(),
                                                     c.arguments.back().end());
  }
}

}  // namespace
