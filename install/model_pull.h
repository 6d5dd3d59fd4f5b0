#pragma once
// Pulls one model through our runner server's API to its end, telling an
// observer how far it got.
#include <functional>
#include <string>

#include <install/pull_progress.h>
#include <install/runner_server.h>

struct PullOptions {
  int stallAfterMs = 60000;  // no new bytes for this long: reported as stalled
  int publishEveryMs = 250;  // at most this often, besides phase changes
  int serverTimeoutMs = kRunnerServerAnswerTimeoutMs;
  // The first answer after a pull; 0: by the model's size.
  long firstAnswerLimitMs = 0;
};

using PullObserver = std::function<void(const PullProgress&)>;

// Our own words for the failures the runner cannot name.
inline constexpr char kPullNoRunnerText[] = "runner not installed";
inline constexpr char kPullServerSilentText[] = "runner server did not answer";

// Why a pull ended without the model, beyond the runner's own words.
enum class PullFailure { None, InvalidTag, NoRunner, ServerNotAnswering, Connection, Runner };

struct PullResult {
  PullProgress progress;  // the last progress, finished
  PullFailure failure = PullFailure::None;
};

// Pulls the tag (UTF-8) into the runner below the layout (a task's own
// copy), starting our runner server first when needed.
PullResult RunModelPull(const InstallLayout& layout, const std::string& tag,
                        const PullObserver& observer, const PullOptions& options);
