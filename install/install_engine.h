#pragma once
// The installation engine behind the main window: the one-click
// installation in two actions (package; runner, model, chat client), the
// model list's downloads, try-now, the tutorial, the install form's figures
// and the start-up work. The window's handlers call in; the engine publishes
// what it shows as one `EngineState` through its view and asks the user
// through it, always on the window thread. Each job lives in a file of its
// own: install_click.cpp, install_stack.cpp, model_list.cpp, ready_page.cpp,
// install_form.cpp and startup_work.cpp.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <install/engine_state.h>
#include <install/first_answer.h>
#include <install/install_view.h>
#include <install/installation.h>
#include <install/model_checks.h>
#include <install/model_pull.h>
// The window and start-up take `--package FILE` through the engine.
#include <install/package_argument.h>
#include <install/package_outcome.h>
#include <platform/graphics_cards.h>
#include <platform/thread_annotations.h>
#include <work/action.h>
#include <work/notify_center.h>
#include <work/ui_events.h>

namespace Action {
class IActionCallback;
}

// Held by a shared pointer: a running task keeps the engine alive after the
// window has gone (it publishes nothing then).
class CInstallEngine : public std::enable_shared_from_this<CInstallEngine>,
                       private IEventMap,
                       private IUserQuestions {
 public:
  // owner: the window that owns the engine's actions (registered with the
  // action factory while it lives). The engine hears the package events
  // itself until DetachView.
  CInstallEngine(IInstallView& view, Action::IActionCallback* owner);
  ~CInstallEngine() override;
  // The window is going: nothing is published or asked any more.
  void DetachView();
  const EngineState& state() const { return m_state; }

  // ---- Reports and the remote configuration (startup_work.cpp) ----
  // Telemetry: appends "Deepseek" when asked; reports leave in order, on a
  // thread of their own, and only while the user allows them. A report made
  // here comes from the user's own click: it ends a hold (below).
  void ReportEvent(const std::string& name, bool addSuffix);
  // The very first start: the start-up reports wait in the queue until the
  // user has had the usage-report switch in front of them, that is until the
  // notice is closed or a click of theirs reports something; each then
  // leaves only if reports are still on. Called before StartStartupWork.
  void HoldReportsUntilSeen();
  void ReleaseHeldReports();
  // The window closes before either: the held reports never leave.
  void DropHeldReports();
  // Start-up, off the window thread so the window shows at once: the two
  // start-up reports, then the remote configuration, in that order.
  void StartStartupWork();
  // The remote configuration has arrived or failed for good: an install
  // click or a customer-service click that waited for it goes on.
  void OnRemoteConfigReady();
  bool RemoteConfigReady() const { return m_configReady; }
  // The install folder remembered from an earlier run, or the default one;
  // created and made the current one.
  std::wstring RestoreInstallFolder();
  // Shows the ready page at once when the record and the store vouch for a
  // model, finishes a broken-off uninstall once the user agrees, and lets
  // the runner confirm on a worker.
  void StartInstalledModelDetection();
  void OnCustomerServiceClick();

  // ---- The installation's first half, window thread (install_click.cpp) ----
  // folder: as typed or picked; listIndex: the selected model.
  void OnInstallClick(const std::wstring& folder, int listIndex);
  // The package chosen on disk ("从本地安装包安装", `--package FILE`): a file
  // that is not there or cannot be read is refused with its cause under the
  // install image (false). While one is chosen the install click installs
  // from it: no download, no wait for the configuration (whose digest is
  // checked when it has arrived). The line under the folder shows it, with
  // the way back to downloading.
  bool ChooseLocalPackage(const std::wstring& path);
  // Back to downloading the package.
  void ClearLocalPackage();
  const std::wstring& localPackage() const { return m_state.localPackage; }
  // The package overlay's 50 ms refresh.
  void OnProgressTimer();
  // The progress overlay's close button.
  void OnOverlayClose();

  // ---- Pulls and the runner's models (install_stack.cpp; what is shown of
  // them, install_engine.cpp) ----
  // Pulls the tag; progress is published for the row (0: the
  // installation's pull).
  PullResult PullModel(const std::wstring& tag, int row, Action::IAction* action,
                       const InstallLayout& layout);
  // Whether the runner lists the tag exactly; reports what it found.
  bool IsModelDownloaded(const std::string& tag);
  // What the runner has of the catalogue.
  RunnerCheck DetectInstalledModel();
  // After models were removed: the ready page and the model list show what
  // the runner still has (names as it lists them); with nothing of the
  // catalogue left, the window returns to the install page.
  void ShowInstalledModels(const std::vector<std::string>& names);

  // ---- The model list (model_list.cpp) ----
  void OnModelRowDownloadClick(int row);

  // ---- The ready page: try-now and the tutorial (ready_page.cpp) ----
  void TryNow();
  void OpenUserTutorial();
  // The work folder the guide's archive lies in, made again when an
  // uninstall took it (the window puts the archive back there).
  std::wstring TutorialFolder();

  // ---- The install form (install_form.cpp) ----
  // The selected model's needs beside this machine's memory and cards.
  void ShowModelNeeds(int listIndex);
  // The graphics cards, looked for once on a worker within the probe's
  // time limit; until they are known the form says nothing of them.
  void StartGraphicsDetection();
  // The cards found; the form's card line and each model row's mark
  // follow. Only the first set counts (detection runs once).
  void ShowGraphicsCards(const std::vector<platform::GraphicsCard>& cards);
  void ShowFreeSpace(const std::wstring& folder);
  // A picked folder as the form takes it: a file-system root gets a folder
  // of its own.
  static std::wstring FolderForPickedPath(std::wstring path);

  // ---- What runs ----
  // Whether an installation, a pull or other work of the window runs: the
  // manage page changes nothing meanwhile.
  bool WorkRunning() const;
  // The manage page's repair, removal or uninstall runs: nothing of the
  // window's starts meanwhile (window thread).
  void SetManageWorkRunning(bool running);

  // A pull's progress as a row (0: the installation's own, naming the
  // tag) shows it.
  static PullShown DescribePull(int row, const std::string& tag, const PullProgress& progress);

  // State shared with the workers.
  std::string modelTag() const TW_EXCLUDES(m_mutex);

  // Tests shorten the pull's stall time.
  PullOptions pullOptions;
  // Tests point the card detection at a made-up tree.
  platform::GraphicsProbe graphicsProbe;
  // Tests make a step fail as an unexpected error would; called on workers
  // with the step's name.
  std::function<void(const char* step)> stepHookForTesting;

 private:
  // The second half of the installation, on a worker.
  int InstallStackTask(Action::IAction* action, const InstallLayout& layout,
                       const std::string& packageVersion);
  // A model row's pull, on a worker.
  int OtherModelTask(const std::wstring& tag, int row, Action::IAction* action,
                     const InstallLayout& layout);
  void SetCurrentModel(const std::wstring& tag) TW_EXCLUDES(m_mutex);
  std::string modelIndexText() const TW_EXCLUDES(m_mutex);
  // The ready page's model line and the model list's row.
  void ShowDownloadedModel(const std::string& number) TW_EXCLUDES(m_mutex);
  // The package events of our installations (window thread).
  void OnEvent(EventArgs& event) override;
  void OnPackageFailed(const EventQrCodeDisChanged3& failed);
  void OnPackageReady(const EventDownModelChanged3& ready);
  // Shows the state as it now is.
  void Publish();
  // The window's boxes; false (and nothing shown) once the window has gone.
  bool AskToContinue(const std::wstring& text, const std::wstring& caption) override;
  void ShowMessage(const std::wstring& text, const std::wstring& caption) override;
  // A worker's call on the window thread, while the window lives.
  void OnWindow(Action::IAction* action, const std::function<void()>& fn);
  void StartInstall();
  // Asks the service for its configuration on a worker; OnRemoteConfigReady
  // follows on the window thread.
  void StartConfigFetch();
  void OpenCustomerService();
  void ShowWaitingForService();
  void SetCause(const std::wstring& text);
  void SetRowCause(int row, const std::wstring& text);
  void ShowLocalPackage();
  void ShowModelFits();
  // True once the cards are known and the largest holds the model whole:
  // main memory then matters little.
  bool GraphicsCardHolds(int listIndex) const;
  // A list pull that may not fit the disk or the memory: true to go on.
  bool ConfirmRowPullFits(int row);
  void Step(const char* name);
  // Points the chat client at the tag (UTF-8); tells the user when its
  // settings file could not be used. Worker.
  void ConfigureChatClient(const std::string& tag, Action::IAction* action,
                           const InstallLayout& layout);
  void TellSettingsUnusable(Action::IAction* action);
  // A task that throws ends on its failure path: onThrow runs on the window
  // thread instead of whatever the task had left to do.
  void StartAction(std::function<int(Action::IAction*)> task, std::function<void()> onThrow = {});
  // Back to the install image; what the last pull said goes with its stage.
  void ReturnToIdle();
  void ShowStage(InstallStage stage);
  // The model stage; returns the model chosen at the click.
  int ShowModelDownloading();
  PullResult PullSelectedModel(int listIndex, Action::IAction* action, const InstallLayout& layout);
  void StartOtherModelDownload();
  // The model is there (true: the ready page follows), or the install image
  // again with the failure's box.
  bool ConfirmModelOrReset(const RunnerCheck& check);
  void ShowInstallFinished(bool modelDownloaded, const RunnerCheck& check);
  // The box after a failed pull: its true cause when known, else the
  // network text.
  void ShowPullFailure(const RunnerCheck& check);
  // Formats a pull's progress for its row and publishes it.
  void ShowPullProgress(int row, const PullProgress& progress);
  void ShowModelRowProgress(int row, bool idle);
  // The model's first answer after its pull (row 0: the installation's),
  // shown as it goes; on the pull's worker.
  FirstAnswer CheckFirstAnswer(int row, const std::string& tag, Action::IAction* action,
                               const InstallLayout& layout);
  long AnswerLimitMs(const std::string& tag) const;
  // number: the answering model's catalogue number.
  void ShowAnswer(int row, const std::string& number, const AnswerShown& shown);
  // A failed first answer's box; where memory ran out, a smaller model that
  // fits is offered for download.
  void OfferWayOut(const std::string& tag, const FirstAnswer& answer);
  // True (after saying so) while the manage page's work runs.
  bool ManageWorkBlocks();
  // The uninstall broken off last time, finished once the user agrees
  // (worker).
  void OfferPendingUninstall(Action::IAction* action);
  // The update broken off last time, finished or rolled back before
  // anything else looks at the programs (worker).
  void FinishBrokenOffUpdate(Action::IAction* action);

  IInstallView* m_view;
  Action::IActionCallback* m_owner;
  EngineState m_state;
  mutable CMutex m_mutex;
  std::string m_modelTag TW_GUARDED_BY(m_mutex);
  std::string m_modelIndexText TW_GUARDED_BY(m_mutex);
  // The rest is the window thread's alone (workers get copies when a task
  // starts); nothing the analysis can check, so it is not annotated.
  int m_activeModelRow = 0;
  // The catalogue number of the model the ready page's answer is about.
  std::string m_answerNumber;
  bool m_configReady = false;
  // How the latest configuration request ended; a failed one is asked for
  // again on the next click that needs it.
  ConfigFetch m_configFetch = ConfigFetch::Applied;
  long m_configStatus = 0;
  // The running installation: its number and its stop flag, set by the
  // overlay's close button (a new installation gets a new one).
  int m_installation = 0;
  std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
  bool m_packageRunning = false;
  // What the running installation works on, taken at its click, and the
  // model it pulls.
  Installation m_installing;
  int m_installingModel = 0;
  // The package's speed, measured over windows of about a second so the
  // figure does not jitter.
  std::chrono::steady_clock::time_point m_speedStart{};
  long long m_speedBytes = 0;
  double m_bytesPerSecond = 0;
  // Tasks started and not yet ended (the count is the workers' too).
  std::atomic<int> m_tasksRunning{0};
  // The graphics cards once detected, and the model the form shows.
  std::optional<std::vector<platform::GraphicsCard>> m_graphicsCards;
  int m_formModel = 0;
  bool m_installWaitingForConfig = false;
  bool m_serviceWaitingForConfig = false;
};
