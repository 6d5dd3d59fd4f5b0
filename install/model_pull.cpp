#include <install/model_pull.h>

#include <chrono>

#include <install/file_helpers.h>
#include <install/ollama_runner.h>
#include <platform/os_encoding.h>
#include <platform/process.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

PullProgress Failed(const std::string& text) {
  PullProgress progress;
  progress.phase = PullPhase::Error;
  progress.errorText = text;
  progress.finished = true;
  return progress;
}

}  // namespace

PullProgress RunModelPull(const std::wstring& runner, const std::string& tag,
                          const PullObserver& observer, const PullOptions& options) {
  auto publish = [&](const PullProgress& progress) {
    if (observer) observer(progress);
  };
  // A tag is one argument, never an option of the runner.
  if (tag.empty() || tag.front() == '-') {
    PullProgress failed = Failed("invalid model name");
    publish(failed);
    return failed;
  }
  if (!FileExists(runner)) {
    PullProgress failed = Failed("runner not installed");
    publish(failed);
    return failed;
  }
  EnsureRunnerServer();
  platform::PipeOptions pipeOptions;
  pipeOptions.withErrors = true;  // the runner draws its progress on standard error
  auto pipe =
      platform::StartWithOutputPipe({platform::WideToOsNarrow(runner), "pull", tag}, pipeOptions);
  if (!pipe) {
    PullProgress failed = Failed("runner could not be started");
    publish(failed);
    return failed;
  }

  PullOutputReader reader;
  publish(reader.Progress());
  Clock::time_point lastPublish = Clock::now();
  Clock::time_point lastBytes = Clock::now();
  std::uint64_t seenBytes = 0;
  bool stalled = false;
  char buffer[4096];
  for (;;) {
    const long got = pipe->ReadSome(buffer, sizeof buffer, 500);
    if (got < 0) break;
    bool changed = got > 0 && reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    const PullProgress& now = reader.Progress();
    if (now.doneBytes != seenBytes || now.phase != PullPhase::Pulling) {
      seenBytes = now.doneBytes;
      lastBytes = Clock::now();
    }
    const bool stalledNow =
        now.phase == PullPhase::Pulling && MillisecondsSince(lastBytes) >= options.stallAfterMs;
    const bool phaseChanged = changed && now.phase != PullPhase::Pulling;
    if (stalledNow != stalled || phaseChanged ||
        (changed && MillisecondsSince(lastPublish) >= options.publishEveryMs)) {
      stalled = stalledNow;
      PullProgress shown = now;
      shown.stalled = stalled;
      publish(shown);
      lastPublish = Clock::now();
    }
  }
  reader.Finish();
  const int exitCode = pipe->Close();
  PullProgress last = reader.Progress();
  last.finished = true;
  if (exitCode != 0 && last.phase != PullPhase::Error) {
    last.phase = PullPhase::Error;
    if (last.errorText.empty())
      last.errorText = "pull ended with status " + std::to_string(exitCode);
  }
  publish(last);
  return last;
}
