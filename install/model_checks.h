#pragma once
// What the runner has, asked on a worker: whether it lists one tag, and
// which catalogue model it has.
#include <string>

#include <install/install_layout.h>
#include <install/pull_failure.h>
#include <install/runner_server.h>

// What the runner showed after a pull or at start-up.
struct RunnerCheck {
  RunnerServerState server = RunnerServerState::NoRunner;
  bool found = false;  // it answers and lists a catalogue model
  std::string number;  // the catalogue number to show ("1" to "7")
  // Why the installation's pull failed, when it did.
  PullCause pullCause = PullCause::Unknown;
  std::string pullError;  // the runner's words
};

// Whether our runner lists the tag (UTF-8, compared without case); reports
// "modelDownSucc" or "modelDownFails" for it.
bool RunnerListsModel(const std::string& tag, const InstallLayout& layout, int serverTimeoutMs);
// The catalogue model our runner has: the remembered one ("1" to "7") when
// it is listed, else the last listed one. Only the catalogue's own tags
// count: "llama3:8b" is not "deepseek-r1:8b".
RunnerCheck FindCatalogueModel(const InstallLayout& layout, const std::string& remembered,
                               int serverTimeoutMs);
