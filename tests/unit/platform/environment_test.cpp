#include <gtest/gtest.h>

#include <fstream>

#include <platform/user_environment.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(UserEnvironment, ReplacesTheVariableLineAndKeepsOthers) {
  TempHome home;
  const fs::path file = home.config() / "environment.d" / "tidewell.conf";
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "KEEP=1\nOLLAMA_MODELS=/old\nOTHER=2\n";
  EXPECT_FALSE(platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", L"/home/u/模型 x"));
  EXPECT_EQ(ReadTextFile(file), "KEEP=1\nOLLAMA_MODELS=/home/u/模型 x\nOTHER=2\n");
  EXPECT_FALSE(platform::WriteUserEnvironmentValue(L"NEW", L""));
  EXPECT_EQ(ReadTextFile(file), "KEEP=1\nOLLAMA_MODELS=/home/u/模型 x\nOTHER=2\nNEW=\n");
}

TEST(UserEnvironment, UnwritableFolderIsAnOpenFailureWithItsCode) {
  TempHome home;
  // A file where the folder should be: the store cannot be opened.
  std::ofstream(home.config() / "environment.d") << "x";
  const auto error = platform::WriteUserEnvironmentValue(L"A", L"b");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->step, platform::EnvWriteStep::Open);
  EXPECT_NE(error->code, 0);
}

TEST(UserEnvironment, BroadcastCanBeReplacedForTests) {
  std::wstring seen;
  platform::SetEnvironmentBroadcastForTesting(
      [&seen](std::wstring_view name, std::wstring_view value) {
        seen = std::wstring(name) + L"=" + std::wstring(value);
      });
  platform::BroadcastEnvironmentChange(L"A", L"b");
  platform::SetEnvironmentBroadcastForTesting(nullptr);
  EXPECT_EQ(seen, L"A=b");
}

}  // namespace
