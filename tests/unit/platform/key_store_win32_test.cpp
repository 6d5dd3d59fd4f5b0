#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <platform/key_store.h>
#include <tests/support/user_sandbox.h>

namespace {

using namespace platform;

struct Stored {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

// What the registry itself holds, read past our key store.
std::optional<Stored> ReadDirectly(const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Stored stored;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &stored.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    stored.bytes.resize(size + 16);
    size = static_cast<DWORD>(stored.bytes.size());
    status = RegQueryValueExW(key, name, nullptr, &stored.type, stored.bytes.data(), &size);
    stored.bytes.resize(size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return stored;
}

// Each byte-level case lands in the registry exactly as given: the
// registry adds no terminating zero and drops none.
TEST(KeyStoreRegistry, ByteLevelCasesRoundTripThroughTheRegistry) {
  UserSandbox sandbox;
  struct Case {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  };
  const Case cases[] = {
      {L"NoZero", REG_SZ, {'a', 0, 'b', 0}},
      {L"ZeroBytes", REG_SZ, {}},
      {L"JustTheZero", REG_SZ, {0, 0}},
      {L"Expand", REG_EXPAND_SZ, {'%', 0, 'U', 0, '%', 0, 0, 0}},
      {L"OddSize", REG_SZ, {'a', 0, 'b'}},
      {L"Dword", REG_DWORD, {1, 2, 3, 4}},
      {L"Nothing", REG_BINARY, {}},
  };
  KeyHandle key = 0;
  ASSERT_EQ(CreateKey(kCurrentUser, L"SOFTWARE\\Tidewell", kKeyWrite, &key, nullptr), kSuccess);
  for (const Case& c : cases) {
    EXPECT_EQ(SetValue(key, c.name, c.type, c.bytes.empty() ? nullptr : c.bytes.data(),
                       static_cast<std::uint32_t>(c.bytes.size())),
              kSuccess);
  }
  CloseKey(key);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    const auto stored = ReadDirectly(L"SOFTWARE\\Tidewell", c.name);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, c.type);
    EXPECT_EQ(stored->bytes, c.bytes);
  }
}

TEST(KeyStoreRegistry, HandlesAreTheRegistrysAndRootsStayOpen) {
  UserSandbox sandbox;
  KeyHandle key = 0;
  ASSERT_EQ(CreateKey(kCurrentUser, L"A\\B", kKeyRead | kKeyWrite, &key, nullptr), kSuccess);
  // A handle of ours is a registry handle: the system's calls take it.
  const BYTE one[4] = {1, 0, 0, 0};
  EXPECT_EQ(RegSetValueExW(reinterpret_cast<HKEY>(key), L"v", 0, REG_DWORD, one, 4),
            ERROR_SUCCESS);
  EXPECT_TRUE(ReadDirectly(L"A\\B", L"v").has_value());
  EXPECT_EQ(CloseKey(key), kSuccess);
  // Closing a root does nothing: it can still be used.
  EXPECT_EQ(CloseKey(kCurrentUser), kSuccess);
  EXPECT_EQ(OpenKey(kCurrentUser, L"A", kKeyRead, &key), kSuccess);
  CloseKey(key);
}

TEST(KeyStoreRegistry, TheMachineRootIsReadInTheSixtyFourBitView) {
  KeyHandle key = 0;
  ASSERT_EQ(OpenKey(kLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                    kKeyQueryValue | kKeyWow64_64Key, &key),
            kSuccess);
  std::uint32_t size = 0;
  std::uint32_t type = 0;
  EXPECT_EQ(QueryValue(key, L"CurrentVersion", &type, nullptr, &size), kSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_GT(size, 2u);
  EXPECT_EQ(SetValue(key, L"x", kRegSz, nullptr, 0), kErrorAccessDenied);
  CloseKey(key);
}

TEST(KeyStoreRegistry, TheSandboxLeavesTheRealUserUntouched) {
  {
    UserSandbox sandbox;
    KeyHandle key = 0;
    ASSERT_EQ(CreateKey(kCurrentUser, L"Tidewell-sandbox-probe", kKeyWrite, &key, nullptr),
              kSuccess);
    CloseKey(key);
  }
  HKEY real = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Tidewell-sandbox-probe", 0, KEY_READ, &real),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
