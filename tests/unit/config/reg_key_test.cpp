#include <gtest/gtest.h>

#include <config/reg_key.h>
#include <platform/user_environment.h>
#include <tests/support/temp_home.h>
#include <tests/support/user_sandbox.h>

namespace {

using platform::kCurrentUser;

class RegKeyTest : public ::testing::Test {
 protected:
  // Expects the block to throw the given text and code, as callers see it.
  template <typename F>
  void ExpectRegError(F&& block, const std::string& text, platform::Status code) {
    try {
      block();
      ADD_FAILURE() << "no exception; expected " << text;
    } catch (const winreg::RegException& e) {
      EXPECT_EQ(std::string(e.what()), text);
      EXPECT_EQ(e.ErrorCode(), code);
    }
  }
  void StoreRaw(const std::wstring& name, std::uint32_t type, std::vector<std::uint8_t> data) {
    RegKey key(kCurrentUser, L"SOFTWARE\\Tidewell");
    ASSERT_EQ(platform::SetValue(key.Get(), name, type, data.data(),
                                 static_cast<std::uint32_t>(data.size())),
              platform::kSuccess);
  }
  TempHome home_;
};

TEST_F(RegKeyTest, StringAndDwordRoundTrip) {
  RegKey key(kCurrentUser, L"SOFTWARE\\Tidewell");
  key.SetStringValue(L"OllamaPath", L"/home/用户/AI 模型");
  key.SetStringValue(L"Empty", L"");
  key.SetDwordValue(L"ShortcutName", 1);
  EXPECT_EQ(key.GetStringValue(L"OllamaPath"), L"/home/用户/AI 模型");
  EXPECT_EQ(key.GetStringValue(L"Empty"), L"");
  std::uint32_t size = 0;
  std::uint32_t type = 0;
  EXPECT_EQ(platform::QueryValue(key.Get(), L"Empty", &type, nullptr, &size), platform::kSuccess);
  EXPECT_EQ(size, 2u);  // just the terminating zero
  EXPECT_EQ(platform::QueryValue(key.Get(), L"ShortcutName", &type, nullptr, &size),
            platform::kSuccess);
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(size, 4u);
}

TEST_F(RegKeyTest, ReadFailuresCarryTheirTextsAndCodes) {
  RegKey key(kCurrentUser, L"SOFTWARE\\Tidewell");
  ExpectRegError([&] { key.GetStringValue(L"Missing"); },
                 "Cannot get size of string value: RegGetValue failed.",
                 platform::kErrorFileNotFound);
  StoreRaw(L"Zero", platform::kRegSz, {});
  ExpectRegError([&] { key.GetStringValue(L"Zero"); },
                 "Cannot get string value: RegGetValue failed.", platform::kErrorInvalidData);
  // Without its terminating zero the value loses its last character.
  StoreRaw(L"NoNull", platform::kRegSz, {'a', 0, 'b', 0, 'c', 0});
  EXPECT_EQ(key.GetStringValue(L"NoNull"), L"ab");
}

TEST_F(RegKeyTest, WriteFailuresCarryTheirTextsAndCodes) {
  RegKey key;
  key.Create(kCurrentUser, L"SOFTWARE\\Tidewell", platform::kKeyRead);
  ExpectRegError([&] { key.SetStringValue(L"x", L"y"); },
                 "Cannot write string value: RegSetValueEx failed.", platform::kErrorAccessDenied);
  ExpectRegError([&] { key.SetDwordValue(L"x", 1); },
                 "Cannot write DWORD value: RegSetValueEx failed.", platform::kErrorAccessDenied);
  ExpectRegError([&] { key.Create(0x1234, L"x"); }, "RegCreateKeyEx failed.",
                 platform::kErrorInvalidHandle);
  EXPECT_TRUE(key.IsValid());  // a failed Create keeps the key held before
}

TEST_F(RegKeyTest, OpeningForReadCreatesTheKeyAndCloseSparesRoots) {
  { RegKey key(kCurrentUser, L"SOFTWARE\\Fresh\\Key"); }
  platform::KeyHandle opened = 0;
  ASSERT_EQ(platform::OpenKey(kCurrentUser, L"SOFTWARE\\Fresh\\Key", platform::kKeyRead, &opened),
            platform::kSuccess);
  platform::CloseKey(opened);

  RegKey root(kCurrentUser, L"");
  root.Close();
  EXPECT_FALSE(root.IsValid());
  RegKey moved(kCurrentUser, L"A");
  RegKey target = std::move(moved);
  EXPECT_FALSE(moved.IsValid());
  EXPECT_TRUE(target.IsValid());
}

TEST_F(RegKeyTest, WriteStringToExistingKeyNeverCreates) {
  WriteStringToExistingKey(kCurrentUser, L"SOFTWARE\\Tidewell", L"uuid", L"abc");
  platform::KeyHandle key = 0;
  EXPECT_EQ(platform::OpenKey(kCurrentUser, L"SOFTWARE\\Tidewell", platform::kKeyRead, &key),
            platform::kErrorFileNotFound);
  RegKey created(kCurrentUser, L"SOFTWARE\\Tidewell");
  WriteStringToExistingKey(kCurrentUser, L"SOFTWARE\\Tidewell", L"uuid", L"abc");
  EXPECT_EQ(created.GetStringValue(L"uuid"), L"abc");
}

TEST_F(RegKeyTest, SetEnvironmentValueWritesBroadcastsAndReportsFailures) {
  std::vector<std::wstring> broadcasts;
  platform::SetEnvironmentBroadcastForTesting([&](std::wstring_view name, std::wstring_view value) {
    broadcasts.push_back(std::wstring(name) + L"=" + std::wstring(value));
  });
  EXPECT_TRUE(SetEnvironmentValue(L"OLLAMA_MODELS", L""));
  EXPECT_EQ(broadcasts, std::vector<std::wstring>{L"OLLAMA_MODELS="});

  BlockUserEnvironment();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SetEnvironmentValue(L"OLLAMA_MODELS", L"/x"));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("打开注册表项失败，错误码：", 0), 0u) << err;
  EXPECT_EQ(broadcasts.size(), 1u);  // no broadcast after a failure
  platform::SetEnvironmentBroadcastForTesting(nullptr);
}

}  // namespace
