#include <install/first_answer.h>

#include <algorithm>
#include <chrono>
#include <string_view>

#include <config/json_text.h>
#include <install/stream_lines.h>
#include <net/http_stream.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kBaseLimitMs = 60'000;
constexpr long kLimitMsPerGiB = 20'000;  // a slow disk reads a GiB in well under that
constexpr long kConnectMs = 5'000;
constexpr int kAnswerTokens = 4;

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// The text between the parentheses after marker: "(15.3 GiB)".
std::string Figure(const std::string& text, std::string_view marker) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) return {};
  const std::size_t open = at + marker.size();
  const std::size_t close = text.find(')', open);
  if (close == std::string::npos || close - open > 32) return {};
  return text.substr(open, close - open);
}

// One streamed answer, line by line: its first piece of text, its end, or
// the runner's error line.
class AnswerReader {
 public:
  void Feed(std::string_view bytes) {
    lines_.Feed(bytes, [this](std::string_view line) { return Take(line); });
  }
  void Finish() {
    lines_.Finish([this](std::string_view line) { return Take(line); });
  }
  bool answered = false, done = false;
  std::string error;

 private:
  bool Take(std::string_view line) {
    Json::Value value;
    if (!ParseJson(std::string(line), value) || !value.isObject()) return false;
    if (value["error"].isString()) error = value["error"].asString();
    const Json::Value& piece = value["response"];
    const Json::Value& message = value["message"]["content"];
    if ((piece.isString() && !piece.asString().empty()) ||
        (message.isString() && !message.asString().empty())) {
      answered = true;
    }
    if (value["done"].isBool() && value["done"].asBool()) done = true;
    return true;
  }
  StreamLines lines_;
};

long long Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

long FirstAnswerLimitMs(std::uint64_t modelBytes) {
  const std::uint64_t gib = (modelBytes + (1ULL << 30) - 1) >> 30;
  return kBaseLimitMs + static_cast<long>(std::min<std::uint64_t>(gib, 1024)) * kLimitMsPerGiB;
}

FirstAnswer FirstAnswerFromError(long status, const std::string& errorText) {
  FirstAnswer answer;
  answer.runnerText = errorText;
  if (status == 404 || Contains(errorText, "not found, try pulling it first")) {
    answer.cause = FirstAnswerCause::ModelMissing;
  } else if (Contains(errorText, "requires more system memory")) {
    answer.cause = FirstAnswerCause::NotEnoughMemory;
    answer.neededMemory = Figure(errorText, "system memory (");
    answer.availableMemory = Figure(errorText, "than is available (");
  } else if (Contains(errorText, "out of memory") &&
             (Contains(errorText, "CUDA") || Contains(errorText, "cuda") ||
              Contains(errorText, "ROCm") || Contains(errorText, "hip") ||
              Contains(errorText, "VRAM") || Contains(errorText, "GPU"))) {
    // The model process ends with the card's own words; the machine's
    // memory was enough, or the runner would have refused earlier.
    answer.cause = FirstAnswerCause::NotEnoughGraphicsMemory;
  } else if (Contains(errorText, "llama runner process has terminated") ||
             Contains(errorText, "llama runner process no longer running")) {
    answer.cause = FirstAnswerCause::RunnerEnded;
  } else if (Contains(errorText, "timed out waiting for llama runner to start")) {
    answer.cause = FirstAnswerCause::NoAnswerInTime;
  } else {
    answer.cause = FirstAnswerCause::Other;
  }
  return answer;
}

FirstAnswer AskFirstAnswer(const std::string& address, const std::string& tag,
                           const FirstAnswerOptions& options) {
  Json::Value request(Json::objectValue);
  request["model"] = tag;
  request["prompt"] = "你好";
  request["options"]["num_predict"] = kAnswerTokens;
  std::string body;
  WriteJson(request, body);

  const Clock::time_point start = Clock::now();
  AnswerReader reader;
  long long firstTokenMs = -1;
  bool late = false, stopped = false;
  HttpStreamHandlers handlers;
  handlers.onData = [&](std::string_view bytes) {
    reader.Feed(bytes);
    if (reader.answered && firstTokenMs < 0) firstTokenMs = Since(start);
    // The first piece is the proof; the rest of the few tokens follow at once.
    return reader.error.empty() && !reader.done;
  };
  handlers.onTick = [&] {
    if (options.onTick && !options.onTick(Since(start))) {
      stopped = true;
      return false;
    }
    late = firstTokenMs < 0 && Since(start) >= options.limitMs;
    return !late;
  };
  const HttpStreamResult result =
      HttpStreamRequest("POST", address + "/api/generate", body, "application/json", kConnectMs,
                        handlers);
  reader.Finish();

  FirstAnswer answer;
  if (firstTokenMs >= 0) {
    answer.cause = FirstAnswerCause::Answered;
    answer.firstTokenMs = firstTokenMs;
    return answer;
  }
  if (stopped) {
    answer.cause = FirstAnswerCause::Stopped;
    return answer;
  }
  if (late) {
    answer.cause = FirstAnswerCause::NoAnswerInTime;
    return answer;
  }
  if (result.status == 0) {
    answer.cause = FirstAnswerCause::NoServer;
    answer.runnerText = result.error;
    return answer;
  }
  // A refusal is one JSON object without a line end: the reader's last line.
  return FirstAnswerFromError(result.status, reader.error);
}
