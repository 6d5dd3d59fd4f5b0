#pragma once
// The manage page's work: what is installed, removing a model, repair and
// uninstall. The clicks come on the window thread; the work runs on
// workers, one piece at a time, and reports back through the views.
#include <memory>
#include <string>

#include <install/install_steps.h>
#include <install/manage_view.h>

namespace Action {
class IActionCallback;
}
class CInstallEngine;
class IInstallView;

// What an uninstall did: each step's line, and what was left because it is
// not ours or could not be removed.
struct UninstallReport {
  bool ok = true;
  std::vector<std::wstring> lines;
  std::vector<std::wstring> leftBehind;
};

// Runs the undos of every step in reverse order under the options. A marker
// in our settings folder says an uninstall is under way until its last step
// is done, so a run broken off (a power cut) is finished by the next start.
UninstallReport UninstallEverything(const StepContext& context);
// An uninstall that was broken off: finishes it (true) or finds none.
bool FinishPendingUninstall(UninstallReport* report);
// Checks each step and performs the ones that fail, in the installation's
// order; a line per step says what was found and what was done.
std::vector<std::wstring> RepairInstallation(const StepContext& context, bool* allWell);

class CManageEngine : public std::enable_shared_from_this<CManageEngine> {
 public:
  CManageEngine(IManageView& view, IInstallView& installView, CInstallEngine& installEngine,
                Action::IActionCallback* owner);

  // "管理": the page shows at once; sizes and models follow from a worker.
  void OpenManagePage();
  // A model's remove button: asks with its name and size, removes it through
  // the runner, takes it out of the chat client's settings, refreshes the
  // page and the ready page; the last one returns the window to the
  // install page.
  void RemoveModel(const std::string& name);
  void Repair();
  void Uninstall();
  void ClosePage();

 private:
  IManageView& m_view;
  IInstallView& m_installView;
  CInstallEngine& m_installEngine;
  Action::IActionCallback* m_owner;
  bool m_busy = false;
  InstalledStatus m_status;  // the page's latest (window thread)
};
