#pragma once
// Why a model pull failed, in words a person can act on. The runner's own
// text is English and technical: it never stands alone in the window. Wide
// texts are the platform's wide characters (UTF-16 on Windows, UTF-32
// elsewhere); narrow ones are UTF-8.
#include <string>

#include <install/model_pull.h>

enum class PullCause {
  Network,             // the download itself broke off: reopening may help
  Unknown,             // nothing tells us more
  DiskFull,            // the model store's disk is full
  NoRunner,            // the runner's setup left no working runner
  ServerNotAnswering,  // the runner's server never answered
  ModelNotFound,       // the registry has no such model
  RunnerError,         // the runner refused for a reason of its own
};

PullCause ClassifyPull(const PullResult& result);
// The same from the error text alone (ours or the runner's), for the window.
PullCause ClassifyPullText(const std::string& errorText);

// The box text that names the cause and the next step (wide); empty for the
// network and unknown causes, where the usual network text stands.
std::wstring PullFailureMessage(PullCause cause, const std::string& runnerText);

// A few words for the stage line under the image (UTF-8).
std::string PullCauseWords(PullCause cause);
// The line under the install image after the installation's pull failed
// (wide); an unknown cause is named as the network, as the box does.
std::wstring PullCauseLine(PullCause cause);
// A model row's line after its pull failed: the cause and the next step,
// short enough for the row (UTF-8).
std::string PullRowFailureText(PullCause cause);
