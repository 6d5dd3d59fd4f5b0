#include <gtest/gtest.h>

#include <platform/known_folders.h>
#include <platform/login_program.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <tests/support/user_sandbox.h>
#include <tests/unit/platform/login_program_fixture.h>

namespace {

using login_test::Program;

// An absolute path to a program on this system; nothing is written there.
std::string ProgramPath(const std::wstring& name) {
  return platform::WideToOsNarrow(platform::TempFolder() + platform::PathSeparator() + name +
                                  platform::ExecutableSuffix());
}

TEST(LoginProgram, RegisteredAsGivenUntilUnregistered) {
  UserSandbox sandbox;
  const std::string path = ProgramPath(L"安装 目录");
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program(path)));
  ASSERT_TRUE(platform::RegisterLoginProgram(Program(path)));
  EXPECT_TRUE(platform::IsLoginProgramRegistered(Program(path)));
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program(ProgramPath(L"另一个"))));
  auto noEnvironment = Program(path);
  noEnvironment.environment.clear();
  EXPECT_FALSE(platform::IsLoginProgramRegistered(noEnvironment));
  // Registering again replaces: one registration, never two servers.
  ASSERT_TRUE(platform::RegisterLoginProgram(noEnvironment));
  EXPECT_TRUE(platform::IsLoginProgramRegistered(noEnvironment));
  EXPECT_FALSE(platform::IsLoginProgramRegistered(Program(path)));
  platform::UnregisterLoginProgram("tidewell-ollama");
  EXPECT_FALSE(platform::IsLoginProgramRegistered(noEnvironment));
  platform::UnregisterLoginProgram("tidewell-ollama");  // nothing left: no harm
}

TEST(LoginProgram, UnsafeValuesAreRefusedAndNothingIsRegistered) {
  UserSandbox sandbox;
  const std::string path = ProgramPath(L"o");
  for (const auto& program :
       {Program(ProgramPath(L"o\nbreak")), Program("relative/ollama"), Program(ProgramPath(L"o\there")),
        platform::LoginProgram{"Bad Id", "d", {path}, {}},
        platform::LoginProgram{"ok", "d", {path}, {"=novalue"}},
        platform::LoginProgram{"ok", "d", {path}, {"NOEQUALS"}},
        platform::LoginProgram{"", "d", {path}, {}},
        platform::LoginProgram{"ok", "d", {}, {}}}) {
    EXPECT_FALSE(platform::RegisterLoginProgram(program));
    EXPECT_FALSE(platform::IsLoginProgramRegistered(program));
  }
}

}  // namespace
