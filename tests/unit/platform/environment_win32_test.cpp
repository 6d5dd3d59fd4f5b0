#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include <platform/user_environment.h>
#include <tests/support/user_sandbox.h>

namespace {

// The shell reads HKCU\Environment: an expandable string whose size counts
// its terminating zero, as the system's own dialog writes it.
TEST(UserEnvironmentRegistry, StoredAsAnExpandableStringWithItsZero) {
  UserSandbox sandbox;
  ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", L"D:\\模型"));
  ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"EMPTY", L""));
  struct Case {
    const wchar_t* name;
    std::vector<BYTE> bytes;
  };
  const Case cases[] = {
      {L"OLLAMA_MODELS", {'D', 0, ':', 0, '\\', 0, 0x21, 0x6a, 0x8b, 0x57, 0, 0}},
      {L"EMPTY", {0, 0}},
  };
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  for (const Case& c : cases) {
    DWORD type = 0;
    BYTE data[64] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(std::vector<BYTE>(data, data + size), c.bytes);
  }
  RegCloseKey(key);
}

// Values others stored: a plain string, one without its zero, another type.
TEST(UserEnvironmentRegistry, ReadsWhatOthersStored) {
  UserSandbox sandbox;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Environment", 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE plain[] = {'a', 0, 'b', 0, 0, 0};
  const BYTE noZero[] = {'c', 0, 'd', 0};
  const BYTE number[] = {1, 0, 0, 0};
  RegSetValueExW(key, L"PLAIN", 0, REG_SZ, plain, sizeof plain);
  RegSetValueExW(key, L"NOZERO", 0, REG_EXPAND_SZ, noZero, sizeof noZero);
  RegSetValueExW(key, L"NUMBER", 0, REG_DWORD, number, sizeof number);
  RegCloseKey(key);
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"PLAIN"), L"ab");
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"nozero"), L"cd");  // names ignore case
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"NUMBER"), std::nullopt);
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"PLAIN"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"PLAIN"), std::nullopt);
}

}  // namespace
