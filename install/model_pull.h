#pragma once
// Runs the runner's pull of one model to its end, reading its output and
// telling an observer how far it got.
#include <functional>
#include <string>

#include <install/pull_progress.h>

struct PullOptions {
  int stallAfterMs = 60000;  // no new bytes for this long: reported as stalled
  int publishEveryMs = 250;  // at most this often, besides phase changes
};

using PullObserver = std::function<void(const PullProgress&)>;

// Pulls the tag (OS narrow encoding) with the runner program, starting the
// runner's server first when needed. Returns the last progress, finished;
// a pull that could not start ends in the error phase.
PullProgress RunModelPull(const std::wstring& runner, const std::string& tag,
                          const PullObserver& observer, const PullOptions& options = {});
