#pragma once
// Updating to a newer install package: the new package is fetched and
// checked, the runner and the chat client are replaced through the install
// steps while the models, the model store and the client's own settings
// and chats stay, our server is started again on its port and the model's
// first answer is asked for. A new runner that does not answer is taken out
// and the old one put back. Runs on a worker.
#include <functional>
#include <string>
#include <vector>

#include <install/install_steps.h>

// Whether the configuration's version is newer than the installed one. An
// installation of ours made before versions were recorded counts as older
// than any named version; one whose package had no version named is not
// offered one (nothing says it is older).
bool UpdateOffered(const std::string& namedVersion);

enum class UpdateResult {
  Updated,     // the new programs answer
  RolledBack,  // they did not (or a step failed): the old ones are back
  NotStarted,  // nothing was changed (no newer version, a client kept open…)
  Incomplete,  // the old ones could not all be put back: the next start tries again
};

struct UpdateReport {
  UpdateResult result = UpdateResult::NotStarted;
  std::wstring cause;               // why it was rolled back or not started
  std::vector<std::wstring> lines;  // what was done, a line each
};

struct UpdateCalls {
  // "UpdateStart", "UpdateEnd", "UpdateRolledBack", as they happen.
  std::function<void(const std::string& event)> report;
  // A line for each stage as it begins.
  std::function<void(const std::wstring& line)> progress;
};

// Updates the installation below context.installation.layout to the
// package context.installation names (its packageVersion). beforeStep is
// called with "stop", "set-aside", "package", "runner", "client", "server",
// "answer", "clean-up" and, on the way back, "restore"; restartClient is
// asked before a running chat client is closed (it is started again after).
UpdateReport UpdatePackage(const StepContext& context, const UpdateCalls& calls);

// Whether an update was broken off and waits for the next start.
bool UpdatePending();
// The update a power cut broke off, finished when its new programs had
// answered, rolled back otherwise. False (report untouched) when none was.
bool FinishPendingUpdate(UpdateReport* report, const UpdateCalls& calls);

// The report for a person: the cause and the lines, one a line.
std::wstring UpdateReportTitle(const UpdateReport& report);
