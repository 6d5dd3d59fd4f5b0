#include <install/pull_failure.h>

#include <gtest/gtest.h>

#include <install/progress_text.h>

namespace {

PullResult Failed(PullFailure failure, const std::string& text) {
  PullResult result;
  result.failure = failure;
  result.progress.phase = PullPhase::Error;
  result.progress.errorText = text;
  return result;
}

// The runner's real error texts, and ours, each to the cause a person is
// told: the network text only where the network (or nothing known) is why.
TEST(PullFailure, EachFailureGetsItsCause) {
  struct Case {
    PullFailure failure;
    std::string text;
    PullCause cause;
    const wchar_t* words;  // in the box; nullptr: the network text stands
  };
  const Case cases[] = {
      {PullFailure::Runner, "max retries exceeded: unexpected EOF", PullCause::Network, nullptr},
      {PullFailure::Runner,
       "pull model manifest: Get \"https://registry.ollama.ai/v2/library/x/manifests/1\": dial "
       "tcp 1.2.3.4:443: connect: connection refused",
       PullCause::Network, nullptr},
      {PullFailure::Runner, "write /m/blobs/sha256-ab-partial: no space left on device",
       PullCause::DiskFull, L"磁盘已满"},
      {PullFailure::Runner, "pull model manifest: file does not exist", PullCause::ModelNotFound,
       L"找不到所选的模型"},
      {PullFailure::Runner, "something the runner says", PullCause::RunnerError,
       L"（something the runner says）"},
      {PullFailure::NoRunner, kPullNoRunnerText, PullCause::NoRunner, L"没有安装成功"},
      {PullFailure::ServerNotAnswering, kPullServerSilentText, PullCause::ServerNotAnswering,
       L"一直没有响应"},
      {PullFailure::Connection, "Transferred a partial file", PullCause::Unknown, nullptr},
      {PullFailure::Runner, "", PullCause::Unknown, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const PullResult result = Failed(c.failure, c.text);
    EXPECT_EQ(ClassifyPull(result), c.cause);
    const std::wstring message = PullFailureMessage(c.cause, c.text);
    if (c.words == nullptr) {
      EXPECT_TRUE(message.empty());
    } else {
      EXPECT_NE(message.find(c.words), std::wstring::npos);
    }
    // Under the image: our words, never the runner's English.
    const std::string line = PullProgressText("", result.progress);
    EXPECT_EQ(line, "下载失败：" + PullCauseWords(ClassifyPullText(c.text)));
    if (!c.text.empty()) {
      EXPECT_EQ(line.find(c.text), std::string::npos);
    }
  }
}

}  // namespace
