#include <install/answer_text.h>
#include <install/first_answer.h>

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <chrono>
#include <string>
#include <thread>

#include <config/json_text.h>
#include <platform/listening_port.h>

namespace {

// The runner's own error texts (its server's wording, with its byte
// figures), each to the cause a person is told.
TEST(FirstAnswer, EachRunnerErrorGetsItsCause) {
  struct Case {
    long status;
    std::string text;
    FirstAnswerCause cause;
    std::string needed, available;
  } cases[] = {
      {500, "model requires more system memory (15.3 GiB) than is available (11.2 GiB)",
       FirstAnswerCause::NotEnoughMemory, "15.3 GiB", "11.2 GiB"},
      {500, "llama runner process has terminated: cudaMalloc failed: out of memory",
       FirstAnswerCause::NotEnoughGraphicsMemory, "", ""},
      {500, "llama runner process has terminated: error:CUDA error: out of memory",
       FirstAnswerCause::NotEnoughGraphicsMemory, "", ""},
      {500, "llama runner process has terminated: signal: killed",
       FirstAnswerCause::RunnerEnded, "", ""},
      {500, "llama runner process no longer running: 1 error loading model",
       FirstAnswerCause::RunnerEnded, "", ""},
      {500, "timed out waiting for llama runner to start - progress 0.42 - ",
       FirstAnswerCause::NoAnswerInTime, "", ""},
      {404, "model \"deepseek-r1:7b\" not found, try pulling it first",
       FirstAnswerCause::ModelMissing, "", ""},
      {500, "unexpected EOF", FirstAnswerCause::Other, "", ""},
      // A figure that is not one is not shown as one.
      {500, "model requires more system memory (", FirstAnswerCause::NotEnoughMemory, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const FirstAnswer answer = FirstAnswerFromError(c.status, c.text);
    EXPECT_EQ(answer.cause, c.cause);
    EXPECT_EQ(answer.neededMemory, c.needed);
    EXPECT_EQ(answer.availableMemory, c.available);
    EXPECT_EQ(answer.runnerText, c.text);
  }
}

TEST(FirstAnswer, TheLimitGrowsWithTheModel) {
  EXPECT_LT(FirstAnswerLimitMs(1'100'000'000), FirstAnswerLimitMs(9'000'000'000));
  EXPECT_LT(FirstAnswerLimitMs(9'000'000'000), FirstAnswerLimitMs(43'000'000'000));
  EXPECT_GE(FirstAnswerLimitMs(0), 60'000);
}

// A runner as its generate endpoint answers: what it streams, after how long.
struct Runner {
  int status = 200;
  std::string lines;  // the streamed answer, or the refusal's JSON
  int silentMs = 0;   // before the first byte, as a model loads
  std::string seenBody = {};
};

FirstAnswer Ask(Runner& runner, long limitMs, int stopAfterTicks = -1) {
  httplib::Server server;
  server.Post("/api/generate", [&](const httplib::Request& req, httplib::Response& res) {
    runner.seenBody = req.body;
    res.status = runner.status;
    // A refusal is one JSON answer, as the runner's server writes it.
    if (runner.status != 200) return res.set_content(runner.lines, "application/json");
    res.set_chunked_content_provider("application/x-ndjson",
                                     [&](std::size_t, httplib::DataSink& sink) {
                                       std::this_thread::sleep_for(
                                           std::chrono::milliseconds(runner.silentMs));
                                       sink.write(runner.lines.data(), runner.lines.size());
                                       sink.done();
                                       return true;
                                     });
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  // A stop before the server runs is ignored, and the join would wait.
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int ticks = 0;
  FirstAnswerOptions options;
  options.limitMs = limitMs;
  options.onTick = [&](long long) { return stopAfterTicks < 0 || ++ticks <= stopAfterTicks; };
  const FirstAnswer answer =
      AskFirstAnswer("http://127.0.0.1:" + std::to_string(port), "deepseek-r1:1.5b", options);
  server.stop();
  serving.join();
  return answer;
}

TEST(FirstAnswer, AskedOfARunner) {
  const std::string streamed =
      "{\"model\":\"deepseek-r1:1.5b\",\"response\":\"\\u003cthink\\u003e\",\"done\":false}\n"
      "{\"model\":\"deepseek-r1:1.5b\",\"response\":\"\",\"done\":true,\"done_reason\":\"length\"}\n";
  {
    SCOPED_TRACE("a slow first load, then the answer");
    Runner runner{200, streamed, 1500};
    const FirstAnswer answer = Ask(runner, 60'000);
    EXPECT_EQ(answer.cause, FirstAnswerCause::Answered);
    EXPECT_GE(answer.firstTokenMs, 1500);
    Json::Value asked;
    ASSERT_TRUE(ParseJson(runner.seenBody, asked));
    EXPECT_EQ(asked["model"].asString(), "deepseek-r1:1.5b");
    EXPECT_EQ(asked["options"]["num_predict"].asInt(), 4);
    EXPECT_FALSE(asked["prompt"].asString().empty());  // an empty one only loads
  }
  {
    SCOPED_TRACE("refused for memory: the figures come along");
    Runner runner{500,
                  "{\"error\":\"model requires more system memory (15.3 GiB) than is available "
                  "(11.2 GiB)\"}"};
    const FirstAnswer answer = Ask(runner, 60'000);
    EXPECT_EQ(answer.cause, FirstAnswerCause::NotEnoughMemory);
    EXPECT_EQ(answer.availableMemory, "11.2 GiB");
  }
  {
    SCOPED_TRACE("the error arrives inside the stream");
    Runner runner{200, "{\"error\":\"llama runner process has terminated: exit status 2\"}\n"};
    EXPECT_EQ(Ask(runner, 60'000).cause, FirstAnswerCause::RunnerEnded);
  }
  {
    SCOPED_TRACE("silent past the limit");
    Runner runner{200, streamed, 3500};
    EXPECT_EQ(Ask(runner, 1000).cause, FirstAnswerCause::NoAnswerInTime);
  }
  {
    SCOPED_TRACE("the caller stops waiting");
    Runner runner{200, streamed, 3500};
    EXPECT_EQ(Ask(runner, 60'000, 1).cause, FirstAnswerCause::Stopped);
  }
}

TEST(FirstAnswer, NothingListeningIsNoServer) {
  const std::uint16_t port = platform::PickFreeLoopbackPort();  // free again: refused
  FirstAnswerOptions options;
  options.limitMs = 5000;
  const FirstAnswer answer =
      AskFirstAnswer("http://127.0.0.1:" + std::to_string(port), "deepseek-r1:1.5b", options);
  EXPECT_EQ(answer.cause, FirstAnswerCause::NoServer);
}

// The runner's figures read back, and the smaller model that fits the
// memory it said was free.
TEST(FirstAnswer, ASmallerModelIsOfferedByTheRunnersOwnFigures) {
  EXPECT_EQ(RunnerFigureBytes("15.3 GiB"), static_cast<std::uint64_t>(15.3 * (1ULL << 30)));
  EXPECT_EQ(RunnerFigureBytes("512.0 MiB"), 512ULL << 20);
  EXPECT_EQ(RunnerFigureBytes("900 B"), 900u);
  for (const char* notAFigure : {"", "GiB", "12 XB", "-3 GiB", "nan GiB"}) {
    EXPECT_EQ(RunnerFigureBytes(notAFigure), 0u) << notAFigure;
  }
  const struct {
    int failed;  // list index
    FirstAnswerCause cause;
    const char* needed;
    const char* available;
    int offered;
  } cases[] = {
      // 14b needs 15.3 of 11.2 GiB: 8b (4.9 of 9.0 GB) needs about 8.3.
      {3, FirstAnswerCause::NotEnoughMemory, "15.3 GiB", "11.2 GiB", 2},
      {1, FirstAnswerCause::NotEnoughMemory, "5.2 GiB", "3.0 GiB", 0},
      {1, FirstAnswerCause::NotEnoughMemory, "5.2 GiB", "0.5 GiB", -1},  // nothing fits
      {0, FirstAnswerCause::NotEnoughMemory, "1.5 GiB", "1.0 GiB", -1},  // nothing smaller
      {3, FirstAnswerCause::NotEnoughMemory, "", "11.2 GiB", -1},        // no figures
      {3, FirstAnswerCause::NotEnoughGraphicsMemory, "15.3 GiB", "11.2 GiB", -1},
  };
  for (const auto& c : cases) {
    FirstAnswer answer;
    answer.cause = c.cause;
    answer.neededMemory = c.needed;
    answer.availableMemory = c.available;
    EXPECT_EQ(LargestModelThatFits(c.failed, answer), c.offered)
        << c.failed << " " << c.needed << " " << c.available;
  }
}

}  // namespace
