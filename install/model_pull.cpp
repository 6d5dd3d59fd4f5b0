#include <install/model_pull.h>

#include <chrono>
#include <deque>

#include <config/json_text.h>
#include <net/http_stream.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Speed over the last few seconds, so a pause shows at once and a burst
// does not promise too much.
class RateMeter {
 public:
  void Add(std::uint64_t bytes) {
    const auto now = Clock::now();
    // libcurl asks many times a second: a few samples a second will do.
    if (!m_samples.empty() && now - m_samples.back().when < std::chrono::milliseconds(200)) return;
    m_samples.push_back({now, bytes});
    while (m_samples.size() > 2 &&
           now - m_samples.front().when > std::chrono::seconds(kWindowSeconds)) {
      m_samples.pop_front();
    }
  }
  std::uint64_t BytesPerSecond() const {
    if (m_samples.size() < 2) return 0;
    const auto& first = m_samples.front();
    const auto& last = m_samples.back();
    const double seconds = std::chrono::duration<double>(last.when - first.when).count();
    if (seconds < 0.5 || last.bytes < first.bytes) return 0;
    return static_cast<std::uint64_t>(static_cast<double>(last.bytes - first.bytes) / seconds);
  }

 private:
  static constexpr int kWindowSeconds = 8;
  struct Sample {
    Clock::time_point when;
    std::uint64_t bytes;
  };
  std::deque<Sample> m_samples;
};

// A model tag as the runner names them: no blanks or controls, never an option.
bool IsPlausibleTag(const std::string& tag) {
  if (tag.empty() || tag.size() > 350 || tag.front() == '-') return false;
  for (const char c : tag) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  return true;
}

PullResult Failed(PullFailure failure, const std::string& text) {
  PullResult result;
  result.progress.phase = PullPhase::Error;
  result.progress.errorText = text;
  result.progress.finished = true;
  result.failure = failure;
  return result;
}

}  // namespace

PullResult RunModelPull(const InstallLayout& layout, const std::string& tag,
                        const PullObserver& observer, const PullOptions& options) {
  auto publish = [&](const PullProgress& progress) {
    if (observer) observer(progress);
  };
  auto fail = [&](PullFailure failure, const std::string& text) {
    PullResult result = Failed(failure, text);
    publish(result.progress);
    return result;
  };
  if (!IsPlausibleTag(tag)) return fail(PullFailure::InvalidTag, "invalid model name");
  const RunnerServerState server = EnsureRunnerServer(
      layout,
      [&] {
        PullProgress waiting;
        waiting.phase = PullPhase::StartingRunner;
        publish(waiting);
      },
      options.serverTimeoutMs);
  if (server == RunnerServerState::NoRunner) {
    return fail(PullFailure::NoRunner, kPullNoRunnerText);
  }
  if (server == RunnerServerState::NotAnswering) {
    return fail(PullFailure::ServerNotAnswering, kPullServerSilentText);
  }

  PullStreamReader reader;
  publish(reader.Progress());
  RateMeter rate;
  Clock::time_point lastPublish = Clock::now();
  Clock::time_point lastBytes = Clock::now();
  std::uint64_t seenBytes = 0;
  bool stalled = false;
  PullPhase shownPhase = reader.Progress().phase;
  // Everything published comes from here: on new data and on the clock.
  auto update = [&](bool changed) {
    const PullProgress& now = reader.Progress();
    if (now.doneBytes != seenBytes || now.phase != PullPhase::Pulling) {
      seenBytes = now.doneBytes;
      lastBytes = Clock::now();
    }
    rate.Add(now.doneBytes);
    const bool stalledNow =
        now.phase == PullPhase::Pulling && MillisecondsSince(lastBytes) >= options.stallAfterMs;
    const bool phaseChanged = now.phase != shownPhase;
    if (stalledNow != stalled || phaseChanged ||
        (changed && MillisecondsSince(lastPublish) >= options.publishEveryMs)) {
      stalled = stalledNow;
      shownPhase = now.phase;
      PullProgress shown = now;
      shown.stalled = stalled;
      shown.bytesPerSecond = stalled ? 0 : rate.BytesPerSecond();
      if (shown.bytesPerSecond > 0 && shown.totalBytes > shown.doneBytes) {
        shown.secondsLeft =
            static_cast<long long>((shown.totalBytes - shown.doneBytes) / shown.bytesPerSecond);
      }
      publish(shown);
      lastPublish = Clock::now();
    }
  };

  Json::Value request(Json::objectValue);
  request["model"] = tag;
  std::string body;
  WriteJson(request, body);
  HttpStreamHandlers handlers;
  handlers.onData = [&](std::string_view bytes) {
    update(reader.Feed(bytes));
    // The runner's own error line ends the pull; leaving cancels it there.
    return reader.Progress().phase != PullPhase::Error;
  };
  handlers.onTick = [&] {
    update(false);
    return true;
  };
  const HttpStreamResult answer = HttpStreamRequest("POST", RunnerServerAddress() + "/api/pull",
                                                    body, "application/json", 5000, handlers);
  reader.Finish();
  PullResult result;
  result.progress = reader.Progress();
  result.progress.finished = true;
  result.progress.stalled = false;
  if (result.progress.phase == PullPhase::Error) {
    result.failure = PullFailure::Runner;
  } else if (result.progress.phase != PullPhase::Success) {
    // The connection broke, or the runner ended the answer without a word.
    result.failure = answer.complete ? PullFailure::Runner : PullFailure::Connection;
    result.progress.phase = PullPhase::Error;
    result.progress.errorText = !answer.error.empty()
                                    ? answer.error
                                    : "the runner ended the pull without success (HTTP " +
                                          std::to_string(answer.status) + ")";
  }
  publish(result.progress);
  return result;
}
