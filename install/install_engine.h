#pragma once
// The installation engine behind the main window: the one-click
// installation in two actions (package; runner, model, chat client), the
// model list's downloads, the chat client's launch and the tutorial. The
// window's handlers delegate here; the engine reaches the window only
// through its view interface, on the window thread.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <install/install_view.h>
#include <install/installation.h>
#include <install/model_pull.h>
// The window and start-up take `--package FILE` through the engine.
#include <install/package_argument.h>
#include <install/package_outcome.h>
#include <install/pull_failure.h>
#include <install/runner_server.h>
#include <platform/graphics_cards.h>
#include <platform/thread_annotations.h>
#include <work/action.h>
#include <work/ui_events.h>

namespace Action {
class IActionCallback;
}

// Held by a shared pointer: a running task keeps the engine alive after the
// window has gone (its calls to the window are dropped then).
// What the runner showed after a pull or at start-up.
struct RunnerCheck {
  RunnerServerState server = RunnerServerState::NoRunner;
  bool found = false;  // it answers and lists a catalogue model
  std::string number;  // the catalogue number to show ("1" to "7")
  // Why the installation's pull failed, when it did.
  PullCause pullCause = PullCause::Unknown;
  std::string pullError;  // the runner's words
};

class CInstallEngine : public std::enable_shared_from_this<CInstallEngine> {
 public:
  // owner: the window that owns the engine's actions (registered with the
  // action factory while it lives).
  CInstallEngine(IInstallView& view, Action::IActionCallback* owner);

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
  bool RemoteConfigReady() const;
  // The install folder remembered from an earlier run, or the default one;
  // created and made the current one.
  std::wstring RestoreInstallFolder();
  // Looks for an installed catalogue model on a worker; when one is found
  // the window shows it on the finished page.
  void StartInstalledModelDetection();
  void OnCustomerServiceClick();

  // Installation, window thread.
  void OnInstallClick();
  // The package chosen on disk ("从本地安装包安装", `--package FILE`): a file
  // that is not there or cannot be read is refused with its cause under the
  // install image (false). While one is chosen the install click installs
  // from it: no download, no wait for the configuration (whose digest is
  // checked when it has arrived). The line under the folder shows it, with
  // the way back to downloading.
  bool ChooseLocalPackage(const std::wstring& path);
  // Back to downloading the package.
  void ClearLocalPackage();
  const std::wstring& localPackage() const { return m_localPackage; }
  void OnPackageFailed(EventArgs& event);
  void OnPackageReady(EventArgs& event);
  // The package overlay's 50 ms refresh.
  void OnProgressTimer();
  // The overlay's close button.
  void OnOverlayClose();

  // Installation, second action's task (worker).
  int InstallStackTask(Action::IAction* action, const InstallLayout& layout);
  // Run through the action on the window thread; the runner has been asked
  // on the worker before (the window never waits for it).
  int ShowModelDownloading();
  int ConfirmModelOrReset(const RunnerCheck& check);
  int ShowInstallFinished(bool modelDownloaded, const RunnerCheck& check);

  // Models. The runner is asked only on workers.
  PullResult PullSelectedModel(Action::IAction* action, const InstallLayout& layout);
  // Pulls the tag; progress goes to the row (0: the installation's pull).
  PullResult PullModel(const std::wstring& tag, int row, Action::IAction* action,
                       const InstallLayout& layout);
  void SetCurrentModel(const std::wstring& tag) TW_EXCLUDES(m_mutex);
  // Whether the runner lists the tag exactly; reports what it found.
  bool IsModelDownloaded(const std::string& tag);
  bool IsModelDownloaded(const std::string& tag, const InstallLayout& layout);
  // What the runner has of the catalogue, for the window to show.
  RunnerCheck DetectInstalledModel();
  RunnerCheck DetectInstalledModel(const InstallLayout& layout);
  void ShowDownloadedModel(const std::string& number) TW_EXCLUDES(m_mutex);
  // A model-list row's download button.
  void OnModelRowDownloadClick(int row);
  void StartOtherModelDownload();
  int OtherModelTask(const std::wstring& tag, int row, Action::IAction* action,
                     const InstallLayout& layout);
  void ShowModelRowProgress(int row, bool idle);

  // Chat client: the click on the window thread, the work on a worker.
  void TryNow();
  int TryNowTask(Action::IAction* action, const InstallLayout& layout);
  void RaiseChatboxWindow();

  void OpenUserTutorial();
  // The work folder the guide's archive lies in, made again when an
  // uninstall took it (the window puts the archive back there).
  std::wstring TutorialFolder();

  // Whether an installation, a pull or other work of the window runs: the
  // manage page changes nothing meanwhile.
  bool WorkRunning() const;
  // The manage page's repair, removal or uninstall runs: nothing of the
  // window's starts meanwhile (window thread).
  void SetManageWorkRunning(bool running) { m_manageWorkRunning = running; }
  // After models were removed: the ready page and the model list show what
  // the runner still has (names as it lists them); with nothing of the
  // catalogue left, the window returns to the install page.
  void ShowInstalledModels(const std::vector<std::string>& names);

  // `tidewell --status`: what is installed below the remembered install
  // folder (or the default one), as text for a terminal, without starting
  // anything. Returns the exit code: 0 all there, 1 part of it, 2 nothing of
  // ours.
  static int InstalledStatusText(std::string& text);

  // The install form, window thread: the selected model's needs beside this
  // machine's memory, and the free space where a folder would go.
  void ShowModelNeeds(int listIndex);
  // The graphics cards, looked for once on a worker within the probe's
  // time limit; until they are known the form says nothing of them.
  void StartGraphicsDetection();
  // Window thread: the cards found; the form's card line and each model
  // row's mark follow. Only the first set counts (detection runs once).
  void ShowGraphicsCards(const std::vector<platform::GraphicsCard>& cards);
  void ShowFreeSpace(const std::wstring& folder);
  // A picked folder as the form takes it: a file-system root gets a folder
  // of its own.
  static std::wstring FolderForPickedPath(std::wstring path);
  // Formats a pull's progress for the row and hands both to the view.
  void ShowPullProgress(int row, const PullProgress& progress);

  // State shared with the workers.
  std::string modelTag() const TW_EXCLUDES(m_mutex);
  std::string modelIndexText() const TW_EXCLUDES(m_mutex);
  int activeModelRow() const { return m_activeModelRow; }

  // Tests shorten the pull's stall time.
  PullOptions pullOptions;
  // Tests point the card detection at a made-up tree.
  platform::GraphicsProbe graphicsProbe;
  // Tests make a step fail as an unexpected error would; called on workers
  // with the step's name.
  std::function<void(const char* step)> stepHookForTesting;

 private:
  void StartInstall();
  // Asks the service for its configuration on a worker; OnRemoteConfigReady
  // follows on the window thread.
  void StartConfigFetch();
  // The line under the install image, and the one in a model row: empty
  // hides it.
  void ShowCause(const std::wstring& text);
  void ShowRowCause(int row, const std::wstring& text);
  // The chosen package's line and its two links.
  void ShowLocalPackage();
  // Each model row's mark: on the card, in main memory only, or not at all.
  void ShowModelFits();
  // True once the cards are known and the largest holds the model whole:
  // main memory then matters little.
  bool GraphicsCardHolds(int listIndex) const;
  // A list pull that may not fit the disk or the memory: true to go on.
  bool ConfirmRowPullFits(int row);
  void Step(const char* name);
  // Points the chat client at the tag; tells the user when its settings
  // file could not be used. Worker.
  void ConfigureChatClient(const std::string& tag, Action::IAction* action,
                           const InstallLayout& layout);
  // The box that says the client's settings file could not be used.
  void TellSettingsUnusable(Action::IAction* action);
  void OpenCustomerService();
  // A task that throws ends on its failure path: onThrow runs on the window
  // thread instead of whatever the task had left to do.
  void StartAction(std::function<int(Action::IAction*)> task, std::function<void()> onThrow = {});
  void ReturnToIdle(std::string_view shownImage);
  // The box after a failed pull: its true cause when known, else the
  // network text.
  void ShowPullFailure(const RunnerCheck& check);

  IInstallView& m_view;
  Action::IActionCallback* m_owner;
  mutable CMutex m_mutex;
  std::string m_modelTag TW_GUARDED_BY(m_mutex);
  std::string m_modelIndexText TW_GUARDED_BY(m_mutex);
  // The rest is the window thread's alone (workers get copies when a task
  // starts); nothing the analysis can check, so it is not annotated.
  int m_activeModelRow = 0;
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
  // What the running installation works on, taken at its click.
  Installation m_installing;
  // The package's speed, measured over windows of about a second so the
  // figure does not jitter (window thread).
  std::chrono::steady_clock::time_point m_speedStart{};
  long long m_speedBytes = 0;
  double m_bytesPerSecond = 0;
  // Tasks started and not yet ended (the count is the workers' too).
  std::atomic<int> m_tasksRunning{0};
  // The graphics cards once detected (window thread).
  std::optional<std::vector<platform::GraphicsCard>> m_graphicsCards;
  bool m_installWaitingForConfig = false;
  bool m_manageWorkRunning = false;
  // True (after saying so) while the manage page's work runs.
  bool ManageWorkBlocks();
  bool m_serviceWaitingForConfig = false;
  // The package chosen on disk; empty: downloaded (window thread).
  std::wstring m_localPackage;
};
