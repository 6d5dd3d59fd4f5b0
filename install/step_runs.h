#pragma once
// The install steps run as a whole: repair checks each and performs what
// fails; uninstall undoes them all in reverse. An uninstall leaves a marker
// in our settings folder until its last step is done, so one broken off (a
// power cut, a kill) is finished by the next start instead of leaving a
// half-state behind.
#include <string>
#include <vector>

#include <install/install_steps.h>

// What an uninstall did: each step's line, and what was left because it is
// not ours, was to be kept, or could not be removed.
struct UninstallReport {
  bool ok = true;
  std::vector<std::wstring> lines;
  std::vector<std::wstring> leftBehind;
};

UninstallReport UninstallEverything(const StepContext& context);

// The uninstall a marker names, finished; false (report untouched) when no
// uninstall is pending. keepModels: the models stay even where the run
// broken off would have removed them (asked again when finishing).
bool FinishPendingUninstall(UninstallReport* report, bool keepModels = false);
// Whether an uninstall was broken off and waits to be finished.
bool UninstallPending();
// An installation or repair starts: what a broken-off uninstall meant to
// remove is wanted again, so it is no longer finished later.
void ClearPendingUninstall();

// Checks each step and performs the ones that fail, in the installation's
// order; a line per step says what was found and what was done. The kept
// package is fetched again only when a program must be installed anew.
std::vector<std::wstring> RepairInstallation(const StepContext& context, bool* allWell);
