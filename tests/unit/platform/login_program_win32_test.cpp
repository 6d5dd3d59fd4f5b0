#include <gtest/gtest.h>
#include <windows.h>

#include <platform/login_program.h>
#include <tests/support/user_sandbox.h>

namespace {

std::wstring RunValue(const wchar_t* name) {
  wchar_t data[2048] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", name,
                   RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return L"(none)";
  }
  return data;
}

std::wstring Shell() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  return L"\"" + std::wstring(folder, length) + L"\\cmd.exe\"";
}

// The Run key's value is the command line the shell starts at login.
TEST(LoginProgramRunKey, TheCommandLineQuotesEveryWord) {
  UserSandbox sandbox;
  struct Case {
    platform::LoginProgram program;
    std::wstring line;
  };
  const Case cases[] = {
      {{"plain", "d", {"C:\\Program Files\\o.exe", "serve"}, {}},
       L"\"C:\\Program Files\\o.exe\" \"serve\""},
      // A trailing backslash must not escape the closing quote.
      {{"folder-arg", "d", {"C:\\o.exe", "D:\\models\\"}, {}}, L"\"C:\\o.exe\" \"D:\\models\\\\\""},
      // '&', '^', '|' and '<' are plain text inside cmd's quotes.
      {{"with-env", "d", {"C:\\a&b^c\\o.exe", "serve"}, {"OLLAMA_MODELS=D:\\x|y<z", "H=1"}},
       Shell() + L" /d /v:off /s /c \"set \"OLLAMA_MODELS=D:\\x|y<z\"&&set \"H=1\"&&"
                 L"\"C:\\a&b^c\\o.exe\" \"serve\"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program.id);
    ASSERT_TRUE(platform::RegisterLoginProgram(c.program));
    const std::wstring name(c.program.id.begin(), c.program.id.end());
    EXPECT_EQ(RunValue(name.c_str()), c.line);
    EXPECT_TRUE(platform::IsLoginProgramRegistered(c.program));
    platform::UnregisterLoginProgram(c.program.id);
    EXPECT_EQ(RunValue(name.c_str()), L"(none)");
  }
}

// A '"' would end the quotes and '%' expands even inside them.
TEST(LoginProgramRunKey, WhatCmdWouldReadAsSyntaxIsRefused) {
  UserSandbox sandbox;
  for (const platform::LoginProgram& program :
       {platform::LoginProgram{"q", "d", {"C:\\o.exe", "a\"b"}, {}},
        platform::LoginProgram{"p", "d", {"C:\\100%\\o.exe"}, {}},
        platform::LoginProgram{"e", "d", {"C:\\o.exe"}, {"X=%PATH%"}},
        platform::LoginProgram{"s", "d", {"/opt/o"}, {}}}) {
    EXPECT_FALSE(platform::RegisterLoginProgram(program)) << program.id;
  }
  EXPECT_EQ(RunValue(L"q"), L"(none)");
}

}  // namespace
