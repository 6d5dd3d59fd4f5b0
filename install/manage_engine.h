#pragma once
// The manage page's work: what is installed, removing a model, repair and
// uninstall. The clicks come on the window thread; the work runs on
// workers, one piece at a time, and reports back through the views.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <install/install_layout.h>
#include <install/manage_view.h>

namespace Action {
struct IAction;
class IActionCallback;
}  // namespace Action
class CInstallEngine;
class IUserQuestions;

class CManageEngine : public std::enable_shared_from_this<CManageEngine> {
 public:
  // questions: the window's boxes; installEngine: the window's other work,
  // which this waits for and which shows what models remain.
  CManageEngine(IManageView& view, IUserQuestions& questions, CInstallEngine& installEngine,
                Action::IActionCallback* owner);

  // "管理": the page shows at once; sizes and models follow from a worker.
  void OpenManagePage();
  // A model's remove button: asks with its name and size, removes it through
  // the runner, takes it out of the chat client's settings, refreshes the
  // page and the ready page; the last one returns the window to the
  // install page.
  void RemoveModel(const std::string& name);
  void Repair();
  // "更新": shown only while the configuration names a newer package.
  void Update();
  void Uninstall();
  void ClosePage();

 private:
  IManageView& m_view;
  IUserQuestions& m_questions;
  CInstallEngine& m_installEngine;
  Action::IActionCallback* m_owner;
  // Nothing else of the page's or the window's runs (else says so).
  bool CanStart();
  void SetBusy(bool busy);
  // A piece of work ended: the buttons on again, the figures and the ready
  // page as they are now (the models as the runner lists them).
  void EndWork(InstalledStatus status, const std::vector<std::string>& models);
  // Starts work on a worker with the page's buttons off until it ends.
  void StartWork(const std::wstring& busyText, std::function<int(Action::IAction*)> task);
  // After a repair: the model answers once; a report line says how it went.
  bool CheckRepairedModel(const InstallLayout& layout, const std::vector<std::string>& models,
                          Action::IAction* action, std::vector<std::wstring>& lines);
  // The page again with fresh figures, counted on a worker.
  void RefreshPage();
  // The latest figures, on the page while it is open.
  void ShowPage();

  bool m_busy = false;
  bool m_pageOpen = false;
  InstalledStatus m_status;  // the page's latest (window thread)
};
