#include <gtest/gtest.h>

#include <fstream>

#include <platform/process.h>
#include <platform/user_environment.h>
#include <platform/utf.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(UserEnvironmentFile, ReplacesTheVariableLineAndKeepsOthers) {
  TempHome home;
  const fs::path file = home.config() / "environment.d" / "tidewell.conf";
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "KEEP=1\nOLLAMA_MODELS=/old\nOTHER=2\n";
  EXPECT_FALSE(platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", L"/home/u/模型 x"));
  EXPECT_EQ(ReadTextFile(file), "KEEP=1\nOLLAMA_MODELS=/home/u/模型 x\nOTHER=2\n");
  EXPECT_FALSE(platform::WriteUserEnvironmentValue(L"NEW", L""));
  EXPECT_EQ(ReadTextFile(file), "KEEP=1\nOLLAMA_MODELS=/home/u/模型 x\nOTHER=2\nNEW=\n");
}

TEST(UserEnvironmentFile, StoreIsPrivate) {
  TempHome home;
  ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", L"/m"));
  EXPECT_EQ(ModeOf(home.config() / "environment.d"), 0700);
  EXPECT_EQ(ModeOf(home.config() / "environment.d" / "tidewell.conf"), 0600);
  EXPECT_EQ(ModeOf(home.config() / "environment.d" / ".tidewell.lock"), 0600);
}

TEST(UserEnvironmentFile, BadNamesAndLineBreakingValuesAreRefusedAndNothingIsWritten) {
  TempHome home;
  const fs::path file = home.config() / "environment.d" / "tidewell.conf";
  for (const std::wstring& name :
       {std::wstring(L""), std::wstring(L"1X"), std::wstring(L"A-B"), std::wstring(L"A B"),
        std::wstring(L"A=B"), std::wstring(L"变量"), std::wstring(L"A\nB")}) {
    const auto error = platform::WriteUserEnvironmentValue(name, L"v");
    ASSERT_TRUE(error.has_value()) << platform::WideToUtf8(name);
    EXPECT_EQ(error->step, platform::EnvWriteStep::Set);
    EXPECT_EQ(error->code, platform::kErrorInvalidParameter);
  }
  for (const std::wstring& value : {std::wstring(L"/m\nLD_PRELOAD=/tmp/x.so"),
                                    std::wstring(L"/m\rX=1"), std::wstring(L"/m\0X=1", 6)}) {
    const auto error = platform::WriteUserEnvironmentValue(L"OLLAMA_MODELS", value);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, platform::kErrorInvalidParameter);
  }
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(platform::WriteUserEnvironmentValue(L"_Ok_9", L"v"));
  EXPECT_EQ(ReadTextFile(file), "_Ok_9=v\n");
}

// systemd's own reader of the per-user environment decides what a line means.
TEST(UserEnvironmentFile, ValuesReadBackUnchangedThroughTheSessionReader) {
  const char* generator =
      "/usr/lib/systemd/user-environment-generators/30-systemd-environment-d-generator";
  if (!fs::exists(generator)) GTEST_SKIP() << "no systemd environment generator here";
  TempHome home;
  const std::vector<std::wstring> values = {L"/home/u/$HOME/模型",
                                            L"/a\\b\\\\c",
                                            L"${HOME:-x}$",
                                            L"\"quoted\" 'single'",
                                            L"  lead and trail  ",
                                            L"'starts quoted",
                                            L"\"",
                                            L"ends with \\",
                                            L"$$"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"V" + std::to_wstring(i), values[i]));
  }
  // The reader prints shell assignments; the shell gives back the values.
  std::string script = "eval \"$(" + std::string(generator) + ")\"";
  for (std::size_t i = 0; i < values.size(); ++i) {
    script += "; printf '%s\\0' \"$V" + std::to_string(i) + "\"";
  }
  auto pipe = platform::StartWithOutputPipe({"/bin/sh", "-c", script});
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  std::size_t length = 0;
  while (pipe->ReadPiece(buffer, sizeof buffer, &length)) output.append(buffer, length);
  EXPECT_EQ(pipe->Close(), 0);
  std::vector<std::string> got;
  for (std::size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos;
       start = end + 1) {
    got.push_back(output.substr(start, end - start));
  }
  ASSERT_EQ(got.size(), values.size()) << output;
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(got[i], platform::WideToUtf8(values[i])) << "V" << i;
  }
}

TEST(UserEnvironmentFile, ReadsBackWhatItWroteAndRemovesOnlyTheNamedLine) {
  TempHome home;
  const fs::path folder = home.config() / "environment.d";
  const std::vector<std::wstring> values = {
      L"/home/u/$HOME/模型", L"/a\\b\\\\c",   L"$$", L"  lead and trail  ",
      L"\"q\" 's'",          L"ends with \\", L""};
  for (std::size_t i = 0; i < values.size(); ++i) {
    ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"V" + std::to_wstring(i), values[i]));
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V" + std::to_wstring(i)), values[i]) << i;
  }
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V"), std::nullopt);  // a prefix is no name
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"V1"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V1"), std::nullopt);
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V10"), std::nullopt);
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"V2"), values[2]);
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"NEVER_SET"));
  // The last line takes our file, its lock and the folder we made with it.
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"V" + std::to_wstring(i)));
  }
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"V0"));
  // A folder holding another program's file stays with it.
  ASSERT_FALSE(platform::WriteUserEnvironmentValue(L"A", L"b"));
  std::ofstream(folder / "other.conf") << "X=1\n";
  EXPECT_TRUE(platform::RemoveUserEnvironmentValue(L"A"));
  EXPECT_EQ(ReadTextFile(folder / "other.conf"), "X=1\n");
  EXPECT_FALSE(fs::exists(folder / "tidewell.conf"));
}

TEST(UserEnvironmentFile, UnwritableFolderIsAnOpenFailureWithItsCode) {
  TempHome home;
  // A file where the folder should be: the store cannot be opened.
  std::ofstream(home.config() / "environment.d") << "x";
  const auto error = platform::WriteUserEnvironmentValue(L"A", L"b");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->step, platform::EnvWriteStep::Open);
  EXPECT_NE(error->code, 0);
}

}  // namespace
