#include <gtest/gtest.h>

#include <platform/user_environment.h>
#include <platform/utf.h>
#include <tests/support/user_sandbox.h>

namespace {

TEST(UserEnvironment, BadNamesAndLineBreakingValuesAreRefused) {
  UserSandbox sandbox;
  for (const std::wstring& name :
       {std::wstring(L""), std::wstring(L"1X"), std::wstring(L"A-B"), std::wstring(L"A B"),
        std::wstring(L"A=B"), std::wstring(L"变量"), std::wstring(L"A\nB")}) {
    const auto error = platform::WriteUserEnvironmentValue(name, L"v");
    ASSERT_TRUE(error.has_value()) << platform::WideToUtf8(name);
    EXPECT_EQ(error->step, platform::EnvWriteStep::Set);
    EXPECT_EQ(error->code, platform::kErrorInvalidParameter);
    EXPECT_EQ(platform::ReadUserEnvironmentValue(name), std::nullopt);
  }
  for (const std::wstring& value : {std::wstring(L"/m\nLD_PRELOAD=/tmp/x.so"),
                                    std::wstring(L"/m\rX=1"), std::wstring(L"/m\0X=1", 6)}) {
    const auto error = platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", value);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->step, platform::EnvWriteStep::Set);
    EXPECT_EQ(error->code, platform::kErrorInvalidParameter);
  }
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"OLLAMA_MODELS"), std::nullopt);
  EXPECT_FALSE(platform::RemoveUserEnvironmentValue(L"A-B"));
}

TEST(UserEnvironment, ValuesReadBackAsGivenAndGoByName) {
  UserSandbox sandbox;
  const std::vector<std::wstring> values = {
      L"D:\\模型 目录\\models", L"/a\\b\\\\c", L"$$", L"%USERPROFILE%\\x", L"  lead and trail  ",
      L"\"q\" 's'",             L"ends with \\", L""};
  for (std::size_t i = 0; i < values.size(); ++i) {
    ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"V" + std::to_wstring(i), values[i]));
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V" + std::to_wstring(i)), values[i]) << i;
  }
  ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"V0", L"replaced"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V0"), L"replaced");
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V"), std::nullopt);  // a prefix is no name
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"V1"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V1"), std::nullopt);
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V2"), values[2]);
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"V1"));  // gone already
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"NEVER_SET"));
}

TEST(UserEnvironment, BroadcastCanBeReplacedForTests) {
  std::wstring seen;
  platform::SetEnvironmentBroadcastForTesting(
      [&seen](std::wstring_view name, std::wstring_view value) {
        seen = std::wstring(name) + L"=" + std::wstring(value);
      });
  platform::BroadcastEnvironmentChange(L"A", L"b");
  EXPECT_EQ(seen, L"A=b");
  platform::BroadcastEnvironmentRemoval(L"A");  // heard as an empty value
  platform::SetEnvironmentBroadcastForTesting(nullptr);
  EXPECT_EQ(seen, L"A=");
}

}  // namespace
