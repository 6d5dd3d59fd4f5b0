// The built stand-in as a desktop runs it on every system: it only reads
// when asked to describe, plays the client version the environment names,
// hands a second start over to the running one, and writes its settings
// back when asked to stop.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <platform/process.h>
#include <platform/stop_requests.h>
#include <tests/fakes/chatbox_config.h>
#include <tests/fakes/utf8_path.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>
#include <tests/unit/fakes/chatbox_program_samples.h>

namespace {

namespace fs = std::filesystem;

using chatbox_samples::kOurs;
using chatbox_samples::kOursSeen;

class ChatboxStartTest : public ::testing::Test {
 protected:
  void TearDown() override { UnsetVariable("TIDEWELL_FAKE_CHATBOX_VERSION"); }
  void WriteSettings(const std::string& text) {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  // The running client, its output and errors going to log.
  std::unique_ptr<platform::ChildProcess> Start(const fs::path& log) const {
    platform::StartOptions options;
    options.hidden = true;
    options.outputFile = fake_text::PathText(log);
    return platform::StartProcess({program_}, options);
  }

  TempHome home_;
  fs::path file_ = fake_chatbox::SettingsFile();
  std::string program_ = built::FakeChatboxProgram();
};

TEST_F(ChatboxStartTest, DescribeOnlyReadsAndSays) {
  WriteSettings(
      R"({"configVersion": 6, "settings": {"ollamaHost": "http://127.0.0.1:5000", "myKey": 1}})");
  const std::string before = ReadTextFile(file_);
  const ChildResult run = RunChildWithOutput({program_, "--describe"}, 60);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "provider= model= host=http://127.0.0.1:5000 ollama-models= offered=\n");
  EXPECT_EQ(ReadTextFile(file_), before);
  EXPECT_FALSE(fs::exists(file_.parent_path() / "SingletonLock"));
}

TEST_F(ChatboxStartTest, TheClientVersionComesFromTheEnvironment) {
  WriteSettings(R"({"settings": {"aiProvider": "ollama", "ollamaModel": "deepseek-r1:7b"}})");
  SetVariable("TIDEWELL_FAKE_CHATBOX_VERSION", "1.9.8");
  EXPECT_EQ(RunChildWithOutput({program_, "--describe"}, 60).output,
            "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:11434 ollama-models= "
            "offered=ollama\n");
  SetVariable("TIDEWELL_FAKE_CHATBOX_VERSION", "0.1");
  EXPECT_EQ(RunChildWithOutput({program_, "--describe"}, 60).exitCode, 2);
}

TEST_F(ChatboxStartTest, ASecondStartHandsOverAndAStopWritesTheSettingsBack) {
  WriteSettings(kOurs);
  const fs::path log = home_.root() / "first.log";
  const auto first = Start(log);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(Eventually([&] { return ReadTextFile(log) == kOursSeen; }));

  const ChildResult second = RunChildWithOutput({program_, "--some-arg"}, 60);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_EQ(second.output, "");
  EXPECT_TRUE(Eventually([&] {
    return ReadTextFile(log) == std::string(kOursSeen) + "second start: window brought forward\n";
  }));

  // Settings written while it runs are lost when it ends; other keys stay.
  WriteSettings(R"({"configVersion": 14, "configs": {"uuid": "u"}, "settings": {"__version": 2,
      "defaultChatModel": {"provider": "ollama", "model": "other:1b"}}})");
  ASSERT_TRUE(platform::RequestStop(first->Id()));
  EXPECT_EQ(first->Wait(), 0);
  EXPECT_EQ(RunChildWithOutput({program_, "--describe"}, 60).output, kOursSeen);
  EXPECT_NE(ReadTextFile(file_).find("\"uuid\""), std::string::npos);
  EXPECT_EQ(ModeOf(file_), 0600);

  // Once it has ended, a start is a first one again.
  const fs::path again = home_.root() / "again.log";
  const auto next = Start(again);
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(Eventually([&] { return ReadTextFile(again) == kOursSeen; }));
  ASSERT_TRUE(platform::RequestStop(next->Id()));
  EXPECT_EQ(next->Wait(), 0);
}

}  // namespace
