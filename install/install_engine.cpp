#include <install/install_engine.h>

#include <base/file_helpers.h>
#include <base/process_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <catalogue/tutorial_guide.h>
#include <install/chatbox_client.h>
#include <algorithm>

#include <install/chatbox_process.h>
#include <install/engine_task.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/install_steps.h>
#include <install/installed_status.h>
#include <install/local_package.h>
#include <install/model_fit.h>
#include <install/owned_files.h>
#include <install/ollama_runner.h>
#include <install/package_step.h>
#include <install/progress_text.h>
#include <install/pull_failure.h>
#include <install/runner_api.h>
#include <install/runner_login.h>
#include <install/shell_helpers.h>
#include <install/space_need.h>
#include <install/space_text.h>
#include <install/step_runs.h>
#include <package/file_downloader.h>
#include <package/package_extract.h>
#include <platform/atomic_file.h>
#include <platform/disk_space.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <platform/top_level_window.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <work/action_factory.h>
#include <work/notify_center.h>

namespace {

constexpr char kInstallImage[] = "imgNoDownDeekSeek";
constexpr char kPackageImage[] = "imgDownDeekSeek";
constexpr char kRunnerImage[] = "imgInstDeekSeek";
constexpr char kModelImage[] = "imgDownModeling";
constexpr char kTryNowImage[] = "imgOnceTiYan";
constexpr char kNoFolderText[] = TW_TR_NOOP("InstallEngine", "DeepSeek安装不存在，不能安装!");
constexpr char kNoFolderCaption[] = TW_TR_NOOP("InstallEngine", "安装失败");
constexpr char kNetworkText[] = TW_TR_NOOP("InstallEngine", "网络不畅，关闭软件后重新打开即可!");
constexpr char kNetworkCaption[] = TW_TR_NOOP("InstallEngine", "提示");
constexpr char kWaitingForServiceText[] = TW_TR_NOOP("InstallEngine", "正在连接服务，请稍候...");
constexpr char kDownloadingPackageText[] =
    TW_TR_NOOP("InstallEngine", "正在下载安装包，请耐心等待...");
constexpr char kCheckingLocalPackageText[] =
    TW_TR_NOOP("InstallEngine", "正在检查并解压所选的安装包，请稍候...");
// Children of the chosen package's line under the install folder.
constexpr char kLocalPackageLine[] = "localPkgTxt";
constexpr char kLocalPackageLink[] = "btnLocalPkg";
constexpr char kDownloadLink[] = "btnDownloadPkg";
// Characters of the chosen file's name the line has room for.
constexpr std::size_t kShownNameChars = 22;
constexpr char kCauseLine[] = "causeTxt";

std::string RowName(const char* prefix, int row) { return prefix + std::to_string(row); }

bool IsAbsolutePath(const std::wstring& path) { return platform::OsPath(path).is_absolute(); }

}  // namespace

CInstallEngine::CInstallEngine(IInstallView& view, Action::IActionCallback* owner)
    : m_view(view), m_owner(owner) {}

void CInstallEngine::ReportEvent(const std::string& name, bool addSuffix) {
  ReleaseHeldReports();
  GetEventReporter().Report(addSuffix ? name + "Deepseek" : name);
}

// The reporter knows whether it holds reports: releasing or dropping
// without a hold does nothing.
void CInstallEngine::HoldReportsUntilSeen() { GetEventReporter().Hold(); }

void CInstallEngine::ReleaseHeldReports() { GetEventReporter().Release(); }

void CInstallEngine::DropHeldReports() { GetEventReporter().DropHeld(); }

std::string CInstallEngine::modelTag() const {
  CMutexLock lock(m_mutex);
  return m_modelTag;
}

std::string CInstallEngine::modelIndexText() const {
  CMutexLock lock(m_mutex);
  return m_modelIndexText;
}

void CInstallEngine::StartAction(std::function<int(Action::IAction*)> task,
                                 std::function<void()> onThrow) {
  m_tasksRunning.fetch_add(1);
  StartEngineTask(
      m_owner, shared_from_this(),
      [this, task = std::move(task)](Action::IAction* action) {
        struct Count {
          std::atomic<int>& running;
          ~Count() { running.fetch_sub(1); }
        } count{m_tasksRunning};
        return task(action);
      },
      std::move(onThrow));
}

bool CInstallEngine::ManageWorkBlocks() {
  if (!m_manageWorkRunning) return false;
  m_view.ShowMessage(TW_TR("InstallEngine", "正在修复或卸载，请等它完成后再操作。"),
                     tw::Translate("InstallEngine", kNetworkCaption));
  return true;
}

bool CInstallEngine::WorkRunning() const { return m_packageRunning || m_tasksRunning.load() > 0; }

void CInstallEngine::ShowInstalledModels(const std::vector<std::string>& names) {
  std::string shown;
  for (int row = 1; row <= kModelCount; ++row) {
    const std::string tag = WideToUtf8(ModelTagForNumber(std::to_string(row)));
    const bool installed = std::find(names.begin(), names.end(), tag) != names.end();
    m_view.EnableChild(RowName("adked_btn", row), !installed);
    if (installed && (shown.empty() || std::to_string(row) == modelIndexText())) {
      shown = std::to_string(row);
    }
  }
  if (!shown.empty()) {
    ShowDownloadedModel(shown);
    return;
  }
  // Nothing of the catalogue is left to chat with: the install page again.
  {
    CMutexLock lock(m_mutex);
    m_modelTag.clear();
    m_modelIndexText.clear();
  }
  GetServiceState().rememberedModelIndex = std::string();
  m_view.SetChildText("modelstrTxt", L"");
  m_view.SelectTabPage("tab_pages2", 0);
  for (const char* image : {kPackageImage, kRunnerImage}) m_view.ShowChild(image, false);
  ReturnToIdle(kModelImage);
}

void CInstallEngine::Step(const char* name) {
  if (stepHookForTesting) stepHookForTesting(name);
}

void CInstallEngine::ReturnToIdle(std::string_view shownImage) {
  m_view.ShowChild(shownImage, false);
  m_view.ShowChild(kInstallImage, true);
  // What the last pull said belongs to the stage that is gone.
  m_view.SetChildText("stageProgressTxt", L"");
}

void CInstallEngine::ShowCause(const std::wstring& text) {
  m_view.SetChildText(kCauseLine, text);
  m_view.ShowChild(kCauseLine, !text.empty());
}

void CInstallEngine::ShowRowCause(int row, const std::wstring& text) {
  m_view.SetChildText(RowName("ai_cause", row), text);
  m_view.ShowChild(RowName("ai_cause", row), !text.empty());
  // The cause stands where the row's date was.
  m_view.ShowChild(RowName("ai_date", row), text.empty());
}

// ---- The installation's first half: the package -------------------------

void CInstallEngine::StartStartupWork() {
  // Queued here, before any click can be: they are the first two reports
  // (not through ReportEvent: they are no click, and end no hold).
  GetEventReporter().Report("opensoftware");
  GetEventReporter().Report("installDeepseek");
  StartConfigFetch();
}

void CInstallEngine::StartConfigFetch() {
  m_configReady = false;
  auto done = [this](ConfigFetch fetch, long status) {
    m_configFetch = fetch;
    m_configStatus = status;
    OnRemoteConfigReady();
  };
  StartAction(
      [this, done](Action::IAction* action) {
        // The configuration is asked for right behind the reports on the
        // wire, not after their answers (a silent service would hold it
        // minutes).
        GetEventReporter().WaitSent();
        Step("config");
        long status = 0;
        const ConfigFetch fetch = GetServiceState().FetchRemoteConfig(&status);
        action->RunOnUI([&] {
          done(fetch, status);
          return 0;
        });
        return 0;
      },
      [done] { done(ConfigFetch::NoAnswer, 0); });
}

void CInstallEngine::OnRemoteConfigReady() {
  m_configReady = true;
  if (m_serviceWaitingForConfig) {
    m_serviceWaitingForConfig = false;
    if (!m_installWaitingForConfig) m_view.HideOverlay();
    OpenCustomerService();
  }
  if (!m_installWaitingForConfig) return;
  m_installWaitingForConfig = false;
  StartInstall();
}

std::wstring CInstallEngine::RestoreInstallFolder() {
  std::wstring folder = LoadInstallPath();
  if (folder.empty()) folder = DefaultInstallFolder();
  GetServiceState().installFolder = folder;
  // Made as the installation's own (recorded), so uninstall takes it back.
  if (!DirectoryExists(folder) && IsAbsolutePath(folder)) ClaimFolder(folder, "settings");
  return folder;
}

void CInstallEngine::OnCustomerServiceClick() {
  if (m_configReady && GetServiceState().serviceUrl.empty() && !m_packageRunning) {
    StartConfigFetch();  // the first request failed: ask again
  }
  if (m_configReady) {
    OpenCustomerService();
    return;
  }
  m_serviceWaitingForConfig = true;
  m_view.SetChildText("progTxt", tw::Translate("InstallEngine", kWaitingForServiceText));
  m_view.SetChildText("progTxtValue", L"");
  m_view.ShowOverlay(OverlayPage::Progress);
}

void CInstallEngine::OpenCustomerService() {
  const std::string& url = GetServiceState().serviceUrl;
  if (!url.empty()) {
    ShellOpen(0, ToWide936(url));
  } else if (m_configFetch != ConfigFetch::Applied) {
    ShowCause(ConfigFaultText(m_configFetch, m_configStatus));
  }
}

bool CInstallEngine::RemoteConfigReady() const { return m_configReady; }

void CInstallEngine::OnInstallClick() {
  if (ManageWorkBlocks()) return;
  ReportEvent("clickInstallPack", true);
  ShowCause(L"");
  const std::wstring folder = m_view.GetChildText("InstPath");
  // A relative folder would land wherever the program was started from.
  // One we make is recorded as ours, so that uninstall takes it back.
  if (IsAbsolutePath(folder) && !DirectoryExists(folder)) ClaimFolder(folder, "settings");
  // Programs are run from the folder: another user's, or one others can write, is refused.
  if (!IsAbsolutePath(folder) || !DirectoryExists(folder) || !platform::IsFolderOurOwn(folder)) {
    m_view.ShowMessage(tw::Translate("InstallEngine", kNoFolderText),
                       tw::Translate("InstallEngine", kNoFolderCaption));
    return;
  }
  // Nothing of the user's is replaced: a folder the installation would write
  // to that stands there already and is not ours stops it before anything.
  if (const std::vector<std::wstring> foreign = ForeignFoldersIn(MakeInstallLayout(folder));
      !foreign.empty()) {
    m_view.ShowMessage(ForeignFolderText(folder, foreign.front()),
                       tw::Translate("InstallEngine", kNoFolderCaption));
    return;
  }
  // Ask before a download that cannot fit rather than fail after it: the
  // model, the package, its unpacked copy and the installed programs.
  const int index = m_view.SelectedModelIndex();
  const std::uint64_t required =
      RequiredBytesForListIndex(index) +
      PackageFootprintBytes(m_localPackage.empty() ? PackageArchivePath() : m_localPackage);
  if (const auto free = platform::FreeDiskSpace(folder); free && required > *free) {
    const std::wstring text = FormatWString(
        TW_TR("InstallEngine",
              "所选模型约需 %ls，连同安装包、解压文件和安装的程序共约需 %ls 磁盘空间，"
              "安装位置只有 %ls 可用。\n仍要继续安装吗？")
            .c_str(),
        SizeTextForListIndex(index).c_str(), FormatFreeSpace(required).c_str(),
        FormatFreeSpace(*free).c_str());
    if (!m_view.AskToContinue(text, TW_TR("InstallEngine", "磁盘空间不足"))) return;
  }
  GetServiceState().installFolder = folder;
  // What a broken-off uninstall meant to remove is wanted again now.
  ClearPendingUninstall();
  StepContext settings;
  settings.installation.layout = MakeInstallLayout(folder);
  PerformInstallStep("settings", settings);
  m_view.ShowChild(kInstallImage, false);
  m_view.ShowChild(kPackageImage, true);
  // A package on disk waits for nothing: a digest already announced is
  // checked, none is not waited for.
  if (!m_localPackage.empty()) {
    StartInstall();
    return;
  }
  // A configuration that brought no package address is asked for again.
  if (m_configReady && GetServiceState().packageUrl.empty()) StartConfigFetch();
  if (!m_configReady) {
    // The package address comes with the configuration: wait for it.
    m_installWaitingForConfig = true;
    m_view.SetChildText("progTxt", tw::Translate("InstallEngine", kWaitingForServiceText));
    m_view.SetChildText("progTxtValue", L"");
    m_view.ShowOverlay(OverlayPage::Progress);
    return;
  }
  StartInstall();
}

bool CInstallEngine::ChooseLocalPackage(const std::wstring& path) {
  const LocalPackageFile look = LookAtLocalPackage(path);
  if (look != LocalPackageFile::Usable) {
    ShowCause(LocalPackageFileText(look, path));
    return false;
  }
  ShowCause(L"");
  m_localPackage = path;
  ShowLocalPackage();
  return true;
}

void CInstallEngine::ClearLocalPackage() {
  m_localPackage.clear();
  ShowCause(L"");
  ShowLocalPackage();
}

void CInstallEngine::ShowLocalPackage() {
  const bool chosen = !m_localPackage.empty();
  m_view.SetChildText(
      kLocalPackageLine,
      chosen ? FormatWString(TW_TR("InstallEngine", "本地安装包：%ls").c_str(),
                             LocalPackageShownName(m_localPackage, kShownNameChars).c_str())
             : std::wstring());
  m_view.ShowChild(kLocalPackageLine, chosen);
  m_view.ShowChild(kDownloadLink, chosen);
  m_view.ShowChild(kLocalPackageLink, !chosen);
}

void CInstallEngine::StartInstall() {
  downloadPercent = 0;
  m_view.SetChildText("stageProgressTxt", L"");
  m_view.SetChildText("progTxt", m_localPackage.empty()
                                     ? tw::Translate("InstallEngine", kDownloadingPackageText)
                                     : tw::Translate("InstallEngine", kCheckingLocalPackageText));
  m_view.SetChildText("progDetailTxt", L"");
  m_speedStart = {};
  m_speedBytes = 0;
  m_bytesPerSecond = 0;
  m_view.StartProgressTimer();
  m_view.ShowOverlay(OverlayPage::Progress);
  // One stop flag per installation: a close of this one's overlay never
  // reaches a later one.
  const int installation = ++m_installation;
  m_cancel = std::make_shared<std::atomic<bool>>(false);
  m_packageRunning = true;
  m_installing = TakeInstallation();
  m_installing.localPackage = m_localPackage;
  // The window hears of the end through the package events.
  const ConfigFetch config = m_configFetch;
  const long status = m_configStatus;
  StartAction(
      [this, installation, snapshot = m_installing, cancel = m_cancel, config,
       status](Action::IAction*) {
        Step("package");
        PreparePackage(installation, snapshot, cancel.get(), config, status);
        return 0;
      },
      [installation, config, status] {
        PackageOutcome outcome;
        outcome.fault = PackageFault::Internal;
        PostPackageOutcome(installation, outcome, config, status);
      });
}

void CInstallEngine::OnProgressTimer() {
  const int value = static_cast<int>(downloadPercent.load());
  m_view.SetChildValue("prog_value", value);
  m_view.SetChildText("progTxtValue", FormatWString(L"(%d %%)", value));
  const long long done = downloadBytesDone.load();
  const auto now = std::chrono::steady_clock::now();
  if (m_speedStart == std::chrono::steady_clock::time_point{} || done < m_speedBytes) {
    m_speedStart = now;
    m_speedBytes = done;
  } else if (now - m_speedStart >= std::chrono::seconds(1)) {
    const double seconds = std::chrono::duration<double>(now - m_speedStart).count();
    m_bytesPerSecond = static_cast<double>(done - m_speedBytes) / seconds;
    m_speedStart = now;
    m_speedBytes = done;
  }
  // A package on disk has no transfer to tell of.
  m_view.SetChildText("progDetailTxt", m_installing.localPackage.empty()
                                           ? Utf8ToWide(PackageProgressText(
                                                 done, downloadBytesTotal.load(), m_bytesPerSecond))
                                           : std::wstring());
  if (value > 99) {
    m_view.StopProgressTimer();
    m_view.HideOverlay();
  }
}

void CInstallEngine::OnOverlayClose() {
  m_serviceWaitingForConfig = false;
  if (m_view.OverlayShows(OverlayPage::Progress)) {
    if (m_installWaitingForConfig) {
      // Nothing has started yet: back to the install image.
      m_installWaitingForConfig = false;
      ReturnToIdle(kPackageImage);
    } else if (m_packageRunning) {
      // Whatever step it is in (a download, the check of a kept archive,
      // the unpack), the installation stops and says so.
      m_cancel->store(true);
      GetFileDownloader().Cancel();
    }
  }
  m_view.HideOverlay();
}

void CInstallEngine::OnPackageFailed(EventArgs& event) {
  if (event.idFrom != 0) return;
  event.handled = true;
  const auto* failed = dynamic_cast<EventQrCodeDisChanged3*>(&event);
  // A stopped installation that ends after a new one began says nothing.
  if (failed == nullptr || failed->installation != m_installation) return;
  m_packageRunning = false;
  m_view.StopProgressTimer();
  m_view.HideOverlay();
  ReturnToIdle(kPackageImage);
  ShowCause(failed->cause);
}

void CInstallEngine::OnPackageReady(EventArgs& event) {
  if (event.idFrom != 0) return;
  event.handled = true;
  const auto* ready = dynamic_cast<EventDownModelChanged3*>(&event);
  if (ready == nullptr || ready->installation != m_installation) return;
  m_packageRunning = false;
  m_view.StopProgressTimer();
  m_view.HideOverlay();
  m_view.ShowChild(kPackageImage, false);
  m_view.ShowChild(kRunnerImage, true);
  StartAction([this, layout = m_installing.layout](
                  Action::IAction* action) { return InstallStackTask(action, layout); },
              [this] {
                for (const char* image : {kRunnerImage, kModelImage}) {
                  m_view.ShowChild(image, false);
                }
                ReturnToIdle(kPackageImage);
                PackageOutcome internal;
                internal.fault = PackageFault::Internal;
                ShowCause(PackageFaultText(internal));
              });
}

// ---- The second half: runner, model, chat client -------------------------

int CInstallEngine::InstallStackTask(Action::IAction* action, const InstallLayout& layout) {
  Step("runner");
  ReportEvent("InstallOllamaStart", true);
  // The end is reported only for a runner that answers; a setup that left
  // none says so (the pull below then fails on its own).
  StepContext context;
  context.installation.layout = layout;
  // The store and its environment entry first: the runner's setup and
  // server find them there.
  PerformInstallStep("store", context);
  PerformInstallStep("environment", context);
  const bool runnerWorks = PerformInstallStep("runner", context).ok;
  ReportEvent(runnerWorks ? "InstallOllamaEnd" : "InstallOllamaFails", true);
  action->RunOnUI([this] { return ShowModelDownloading(); });
  ReportEvent("DownModelStart", true);
  Step("pull");
  const PullResult pull = PullSelectedModel(action, layout);
  PerformInstallStep("client", context);
  ReportEvent("DownModelEnd", true);
  // A server that never answered is not asked (and waited for) again.
  RunnerCheck check;
  bool downloaded = false;
  if (pull.failure == PullFailure::ServerNotAnswering) {
    check.server = RunnerServerState::NotAnswering;
    ReportEvent("modelDownFails", true);
  } else {
    downloaded = IsModelDownloaded(modelTag(), layout);
    check = DetectInstalledModel(layout);
  }
  if (pull.progress.phase != PullPhase::Success) {
    check.pullCause = ClassifyPull(pull);
    check.pullError = pull.progress.errorText;
  }
  if (action->RunOnUI([this, &check] { return ConfirmModelOrReset(check); }) != 1) return 0;
  // Settings that name a model the runner does not have would greet the
  // user with an error: they are written once the runner lists it.
  if (downloaded) {
    Step("client");
    context.model = Narrow936ToUtf8(modelTag());
    context.restartClient = AskBeforeRestartingChatbox(m_view, action);
    if (PerformInstallStep("client-settings", context).unusable) TellSettingsUnusable(action);
    // From now on the runner's server starts with the user's session.
    PerformInstallStep("login", context);
  }
  // The last step: once the ready page shows, this task touches nothing.
  action->RunOnUI([this, downloaded, &check] { return ShowInstallFinished(downloaded, check); });
  return 0;
}

int CInstallEngine::ShowModelDownloading() {
  m_view.ShowChild(kRunnerImage, false);
  m_view.ShowChild(kModelImage, true);
  return 0;
}

int CInstallEngine::ConfirmModelOrReset(const RunnerCheck& check) {
  if (check.found) {
    ShowDownloadedModel(check.number);
    return 1;
  }
  ReturnToIdle(kModelImage);
  ShowPullFailure(check);
  return 0;
}

void CInstallEngine::ShowPullFailure(const RunnerCheck& check) {
  PullCause cause = check.pullCause;
  // A runner that never started is not a network problem either.
  if (cause == PullCause::Unknown && check.server == RunnerServerState::NotAnswering) {
    cause = PullCause::ServerNotAnswering;
  }
  const std::wstring text = PullFailureMessage(cause, check.pullError);
  // The box goes; the line under the install image keeps the cause in view.
  ShowCause(PullCauseLine(cause));
  m_view.ShowMessage(text.empty() ? tw::Translate("InstallEngine", kNetworkText) : text,
                     tw::Translate("InstallEngine", kNetworkCaption));
}

int CInstallEngine::ShowInstallFinished(bool modelDownloaded, const RunnerCheck& check) {
  if (!modelDownloaded) {
    // Other models are there but not this one: say so and let the user try
    // again rather than leave the window on the pulling image.
    ReturnToIdle(kModelImage);
    ShowPullFailure(check);
    return 0;
  }
  m_view.SelectTabPage("tab_pages2", 1);
  const std::string number = modelIndexText();
  GetServiceState().rememberedModelIndex = number;
  ShowDownloadedModel(number);
  return 0;
}

// ---- Models ----------------------------------------------------------------

void CInstallEngine::SetCurrentModel(const std::wstring& tag) {
  const std::string number = ModelIndexOf(tag);
  CMutexLock lock(m_mutex);
  m_modelTag = ToNarrow936(tag);
  if (!number.empty()) m_modelIndexText = number;
}

PullResult CInstallEngine::PullSelectedModel(Action::IAction* action, const InstallLayout& layout) {
  const int index = action->RunOnUI([this] { return m_view.SelectedModelIndex(); });
  return PullModel(ModelTagForListIndex(index), 0, action, layout);
}

PullResult CInstallEngine::PullModel(const std::wstring& tag, int row, Action::IAction* action,
                                     const InstallLayout& layout) {
  SetCurrentModel(tag);
  // What the runner wrote into our store for us, whatever the outcome (a
  // broken-off pull leaves its parts).
  struct RecordStore {
    const std::wstring& store;
    ~RecordStore() { RecordAddedIn(store, "store"); }
  } record{layout.modelStore};
  return RunModelPull(
      layout, WideToUtf8(tag),
      [this, row, action](const PullProgress& progress) {
        action->RunOnUI([this, row, &progress] {
          ShowPullProgress(row, progress);
          return 0;
        });
      },
      pullOptions);
}

bool CInstallEngine::IsModelDownloaded(const std::string& tag) {
  return IsModelDownloaded(tag, CurrentInstallLayout());
}

bool CInstallEngine::IsModelDownloaded(const std::string& tag, const InstallLayout& layout) {
  std::vector<RunnerModel> models;
  if (EnsureRunnerServer(layout, {}, pullOptions.serverTimeoutMs) == RunnerServerState::Ready) {
    models = ListRunnerModels(RunnerServerAddress(), kRunnerCommandTimeoutMs).value_or(models);
  }
  // The report says whether this model arrived, not whether any model is
  // there: a vendor counts failed pulls by it.
  const std::string wanted = ToLowerAscii(Narrow936ToUtf8(tag));
  bool listed = false;
  for (const RunnerModel& model : models) listed = listed || ToLowerAscii(model.name) == wanted;
  ReportEvent(listed ? "modelDownSucc" : "modelDownFails", true);
  return listed;
}

RunnerCheck CInstallEngine::DetectInstalledModel() {
  return DetectInstalledModel(CurrentInstallLayout());
}

RunnerCheck CInstallEngine::DetectInstalledModel(const InstallLayout& layout) {
  RunnerCheck check;
  if (!IsOllamaInstalled(layout)) return check;
  check.server = EnsureRunnerServer(layout, {}, pullOptions.serverTimeoutMs);
  if (check.server != RunnerServerState::Ready) return check;
  const auto models = ListRunnerModels(RunnerServerAddress(), kRunnerCommandTimeoutMs);
  if (!models || models->empty()) return check;
  const std::string remembered = GetServiceState().rememberedModelIndex;
  // The remembered model when it is listed, else the last listed one. Only
  // the catalogue's own tags count: "llama3:8b" is not "deepseek-r1:8b".
  std::string candidate;
  for (const RunnerModel& model : *models) {
    const std::string each = CatalogueNumberOfTag(ToLowerAscii(model.name));
    if (each.empty()) continue;
    candidate = each;
    if (each == remembered) break;
  }
  check.found = !candidate.empty();
  check.number = candidate;
  return check;
}

void CInstallEngine::StartInstalledModelDetection() {
  const InstallLayout layout = CurrentInstallLayout();
  // What the record and the store on disk say, at once: the window never
  // shows "not installed" (and takes an install click) while the server
  // starts. The runner confirms it below.
  const std::string onDisk =
      UninstallPending() ? std::string()
                         : CatalogueModelOnDisk(layout, GetServiceState().rememberedModelIndex);
  if (!onDisk.empty()) {
    ShowDownloadedModel(onDisk);
    m_view.SelectTabPage("tab_pages2", 1);
  }
  StartAction([this, layout, onDisk](Action::IAction* action) {
    // An uninstall broken off last time is finished first, once the user
    // agrees: nothing of it is then taken for an installation.
    if (UninstallPending() && action->RunOnUI([this] {
          // Nothing of the window starts while it finishes.
          m_manageWorkRunning = m_view.AskToContinue(
              TW_TR("InstallEngine",
                    "上次的卸载没有完成。现在完成卸载吗？\n选择“否”则保持现状，"
                    "重新安装或修复后将不再提示。"),
              TW_TR("InstallEngine", "完成卸载"));
          return m_manageWorkRunning ? 1 : 0;
        }) == 1) {
      UninstallReport report;
      FinishPendingUninstall(&report);
      action->RunOnUI([this, &report] {
        std::wstring text;
        for (const std::wstring& line : report.lines) text += line + L"\n";
        if (!report.leftBehind.empty()) {
          text += TW_TR("InstallEngine", "以下内容不是本程序安装的或按您的选择保留，未删除：") +
                  L"\n";
          for (const std::wstring& path : report.leftBehind) text += path + L"\n";
        }
        m_manageWorkRunning = false;
        m_view.ShowMessage(text, report.ok ? TW_TR("InstallEngine", "卸载完成")
                                           : TW_TR("InstallEngine", "卸载未能全部完成"));
        return 0;
      });
    }
    const RunnerCheck check = DetectInstalledModel(layout);
    if (!check.found) {
      // The runner answers and has none of them after all.
      if (!onDisk.empty() && check.server == RunnerServerState::Ready) {
        action->RunOnUI([this] {
          ShowInstalledModels({});
          return 0;
        });
      }
      return 0;
    }
    action->RunOnUI([this, &check] {
      ShowDownloadedModel(check.number);
      m_view.SelectTabPage("tab_pages2", 1);
      return 0;
    });
    return 0;
  });
}

void CInstallEngine::ShowDownloadedModel(const std::string& number) {
  std::wstring tag;
  for (int row = 1; row <= kModelCount; ++row) {
    if (number != std::to_string(row)) continue;
    tag = ModelTagForNumber(number);
    m_view.EnableChild(RowName("adked_btn", row), false);
    break;
  }
  if (!tag.empty()) {
    // The chat client's fallback when nothing was pulled in this run.
    CMutexLock lock(m_mutex);
    if (m_modelTag.empty()) m_modelTag = ToNarrow936(tag);
  }
  m_view.SetChildText("modelstrTxt",
                      FormatWString(TW_TR("InstallEngine", "已下载 %ls").c_str(), tag.c_str()));
}

void CInstallEngine::OnModelRowDownloadClick(int row) {
  if (ManageWorkBlocks()) return;
  ShowRowCause(row, L"");
  if (!ConfirmRowPullFits(row)) return;
  m_activeModelRow = row;
  ShowModelRowProgress(row, false);
  StartOtherModelDownload();
}

bool CInstallEngine::ConfirmRowPullFits(int row) {
  // The list pulls into the same store: its disk and this machine's memory.
  const int index = row - 1;
  std::wstring text;
  const std::uint64_t size = RequiredBytesForListIndex(index);
  const auto free = platform::FreeDiskSpace(CurrentInstallLayout().modelStore);
  if (free && size > *free) {
    text +=
        FormatWString(TW_TR("InstallEngine",
                            "这个模型约需 %ls 磁盘空间，安装位置只有 %ls 可用，下载会中途失败。\n")
                          .c_str(),
                      SizeTextForListIndex(index).c_str(), FormatFreeSpace(*free).c_str());
  }
  const std::uint64_t memory = platform::TotalMemoryBytes();
  const std::uint64_t needed = RequiredMemoryForListIndex(index);
  if (memory != 0 && needed != 0 && !MemoryIsEnough(memory, needed) &&
      !GraphicsCardHolds(index)) {
    text += FormatWString(
        TW_TR("InstallEngine",
              "这个模型建议内存 %ls 以上，本机只有 %ls，下载后会运行得很慢或无法运行。\n")
            .c_str(),
        FormatFreeSpace(needed).c_str(), FormatFreeSpace(memory).c_str());
  }
  if (text.empty()) return true;
  return m_view.AskToContinue(text + TW_TR("InstallEngine", "仍要下载吗？"),
                              TW_TR("InstallEngine", "提示"));
}

void CInstallEngine::StartOtherModelDownload() {
  const int row = m_activeModelRow;
  const std::wstring tag = ModelTagForRow(row);
  StartAction([this, tag, row, layout = CurrentInstallLayout()](
                  Action::IAction* action) { return OtherModelTask(tag, row, action, layout); },
              [this, row] {
                ShowModelRowProgress(row, true);
                ShowRowCause(row, Utf8ToWide(PullRowFailureText(PullCause::Unknown)));
              });
}

int CInstallEngine::OtherModelTask(const std::wstring& tag, int row, Action::IAction* action,
                                   const InstallLayout& layout) {
  Step("list pull");
  const PullResult pull = PullModel(tag, row, action, layout);
  // Each row is judged by its own model: several may be pulling at once.
  const std::string narrowTag = ToNarrow936(tag);
  const bool downloaded = IsModelDownloaded(narrowTag, layout);
  const std::string number = ModelIndexOf(tag);
  if (downloaded) {
    GetServiceState().rememberedModelIndex = number;
    ConfigureChatClient(narrowTag, action, layout);
  }
  // A failed row says why in its own line, until its next click.
  const std::wstring cause =
      downloaded ? std::wstring() : Utf8ToWide(PullRowFailureText(ClassifyPull(pull)));
  action->RunOnUI([this, row, downloaded, &number, &cause] {
    ShowModelRowProgress(row, true);
    ShowRowCause(row, cause);
    if (downloaded) ShowDownloadedModel(number);
    return 0;
  });
  return 0;
}

void CInstallEngine::ShowModelRowProgress(int row, bool idle) {
  m_view.ShowChild(RowName("adked_btn", row), idle);
  m_view.ShowChild(RowName("winProgress", row), !idle);
}

// ---- Chat client -----------------------------------------------------------

void CInstallEngine::ConfigureChatClient(const std::string& tag, Action::IAction* action,
                                         const InstallLayout& layout) {
  if (WriteChatboxConfig(layout, tag, RunnerServerAddress(), AskBeforeRestartingChatbox(m_view, action)) ==
      ChatboxConfigResult::kUnusable) {
    TellSettingsUnusable(action);
  }
}

void CInstallEngine::TellSettingsUnusable(Action::IAction* action) {
  action->RunOnUI([this] {
    m_view.ShowMessage(tw::Translate("ChatboxClient", kChatboxSettingsUnusableText),
                       tw::Translate("InstallEngine", kNetworkCaption));
    return 0;
  });
}

void CInstallEngine::TryNow() {
  if (ManageWorkBlocks()) return;
  // Starting the runner's server and the client may take a while: the
  // image stays disabled until the client has been started.
  m_view.EnableChild(kTryNowImage, false);
  StartAction([this, layout = CurrentInstallLayout()](
                  Action::IAction* action) { return TryNowTask(action, layout); },
              [this] { m_view.EnableChild(kTryNowImage, true); });
}

int CInstallEngine::TryNowTask(Action::IAction* action, const InstallLayout& layout) {
  Step("try now");
  // After a restart nothing runs yet: the client needs our server. It may
  // have had to move to another port since: the login registration and the
  // client's settings follow it (the settings are rewritten only when
  // something in them changes).
  if (EnsureRunnerServer(layout, {}, pullOptions.serverTimeoutMs) == RunnerServerState::Ready) {
    RegisterRunnerServerAtLogin(layout);
  }
  const std::string tag = modelTag();
  if (!tag.empty()) ConfigureChatClient(tag, action, layout);
  InstallChatbox(layout);
  StartChatbox(layout);
  action->RunOnUI([this] {
    m_view.EnableChild(kTryNowImage, true);
    RaiseChatboxWindow();
    return 0;
  });
  return 0;
}

void CInstallEngine::RaiseChatboxWindow() {
  // Only where the window system lets us reach another program's window;
  // elsewhere the client places its window itself.
  const platform::WindowHandle window =
      platform::FindTopLevelWindow(L"Chrome_WidgetWin_1", L"Chatbox");
  if (platform::IsWindowHandle(window)) platform::CenterWindowOnScreen(window);
}

// ---- Status for a terminal -------------------------------------------------

int CInstallEngine::InstalledStatusText(std::string& text) {
  std::wstring folder = LoadInstallPath();
  if (folder.empty()) folder = DefaultInstallFolder();
  const InstalledStatus status = CollectInstalledStatus(MakeInstallLayout(folder), 3000);
  text = InstalledStatusReport(status, RunnerServerAddress());
  // What the installation recorded it made: what uninstall will take back.
  const InstallRecord record = LoadInstallRecord();
  text += record.installFolders.empty() && record.objects.empty()
              ? std::string("Installation record: none\n")
              : "Installation record (" + platform::WideToOsNarrow(InstallRecordFile()) + "):\n" +
                    InstallRecordText(record);
  return static_cast<int>(StateOf(status));
}

// ---- The install form ------------------------------------------------------

void CInstallEngine::ShowModelNeeds(int index) {
  const auto [first, second] = SplitRequirementText(RequirementTextForListIndex(index));
  // The catalogue's lines are data: translated as the layout's own are.
  m_view.SetChildText("wareInfotxt", tw::Translate("ModelCatalogue", WideToUtf8(first).c_str()));
  m_view.SetChildText("wareInfotxt2", tw::Translate("ModelCatalogue", WideToUtf8(second).c_str()));
  m_view.SetChildText("useSpace2", SizeTextForListIndex(index));
  // The machine beside the model's need, so nobody starts what cannot run.
  const std::uint64_t memory = platform::TotalMemoryBytes();
  const std::uint64_t needed = RequiredMemoryForListIndex(index);
  if (m_graphicsCards) {
    const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
    const ModelFit fit = FitForListIndex(index, card ? card->memoryBytes : 0, memory);
    m_view.SetChildText("gpuInfoTxt", GraphicsCardLine(card, fit));
    m_view.MarkChildWarning("gpuInfoTxt", fit == ModelFit::TooLarge);
  }
  if (memory == 0 || needed == 0) {
    m_view.SetChildText("memInfoTxt", L"");
    m_view.MarkChildWarning("memInfoTxt", false);
    return;
  }
  const double gib = static_cast<double>(memory) / (1024.0 * 1024.0 * 1024.0);
  const double neededGib = static_cast<double>(needed) / (1024.0 * 1024.0 * 1024.0);
  const bool enough = MemoryIsEnough(memory, needed);
  const bool onCard = !enough && GraphicsCardHolds(index);
  std::wstring format =
      enough ? TW_TR("InstallEngine", "本机内存 %.0f GB，此模型建议 %.0f GB 以上：可以运行。")
      : onCard
          ? TW_TR("InstallEngine", "本机内存 %.0f GB，此模型建议 %.0f GB 以上：显卡可以装下整个模型。")
          : TW_TR("InstallEngine",
                  "本机内存 %.0f GB，此模型建议 %.0f GB 以上：内存不足，"
                  "运行会很慢或无法运行，建议选择更小的模型。");
  m_view.SetChildText("memInfoTxt", FormatWString(format.c_str(), gib, neededGib));
  m_view.MarkChildWarning("memInfoTxt", !enough && !onCard);
}

bool CInstallEngine::GraphicsCardHolds(int listIndex) const {
  if (!m_graphicsCards) return false;
  const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
  return card != nullptr &&
         FitForListIndex(listIndex, card->memoryBytes, 0) == ModelFit::GraphicsCard;
}

void CInstallEngine::StartGraphicsDetection() {
  // Not one of StartAction's tasks: looking at the cards is no work the
  // manage page has to wait for.
  StartEngineTask(
      m_owner, shared_from_this(), [this, probe = graphicsProbe](Action::IAction* action) {
        const std::vector<platform::GraphicsCard> cards = platform::DetectGraphicsCards(probe);
        action->RunOnUI([this, &cards] {
          ShowGraphicsCards(cards);
          return 0;
        });
        return 0;
      });
}

void CInstallEngine::ShowGraphicsCards(const std::vector<platform::GraphicsCard>& cards) {
  if (m_graphicsCards) return;
  m_graphicsCards = cards;
  ShowModelNeeds(m_view.SelectedModelIndex());
  ShowModelFits();
}

void CInstallEngine::ShowModelFits() {
  const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
  const std::uint64_t memory = platform::TotalMemoryBytes();
  for (int row = 1; row <= kModelCount; ++row) {
    const ModelFit fit = FitForListIndex(row - 1, card ? card->memoryBytes : 0, memory);
    const std::string name = RowName("ai_fit", row);
    m_view.SetChildText(name, ModelFitTag(fit));
    m_view.MarkChildWarning(name, fit == ModelFit::TooLarge);
    m_view.ShowChild(name, fit != ModelFit::Unknown);
  }
}

void CInstallEngine::ShowFreeSpace(const std::wstring& folder) {
  // A relative path says nothing about where it would land.
  const auto free = IsAbsolutePath(folder) ? platform::FreeDiskSpace(folder) : std::nullopt;
  m_view.SetChildText("useSpace", free ? FormatFreeSpace(*free) : std::wstring());
}

std::wstring CInstallEngine::FolderForPickedPath(std::wstring path) {
  if (!path.empty() && path.back() == platform::PathSeparator()) {
    const std::wstring standard = DefaultInstallFolder();
    path += standard.substr(standard.rfind(platform::PathSeparator()) + 1);
  }
  return path;
}

void CInstallEngine::ShowPullProgress(int row, const PullProgress& progress) {
  PullTexts texts;
  // The installation's own line names the model; a row names it already.
  texts.full = Utf8ToWide(
      PullProgressText(row == 0 ? Narrow936ToUtf8(modelTag()) : std::string(), progress));
  texts.line = row == 0 ? texts.full : Utf8ToWide(PullRowProgressText(progress));
  m_view.ShowPullProgress(row, progress, texts);
}

// ---- Tutorial --------------------------------------------------------------

std::wstring CInstallEngine::TutorialFolder() {
  const std::wstring folder = GetServiceState().workFolder;
  if (!folder.empty()) platform::CreateOwnPrivateFolder(platform::OsPath(folder));
  return folder;
}

void CInstallEngine::OpenUserTutorial() {
  const std::wstring archive = GetServiceState().workFolder + kTutorialArchiveName;
  const std::size_t dot = archive.rfind(L'.');
  if (dot == std::wstring::npos) return;
  const std::wstring folder = archive.substr(0, dot) + platform::PathSeparator();
  // The guide in the window's language; an archive placed before there was
  // an English guide holds the Chinese one only, which beats opening nothing.
  std::wstring document = folder + Utf8ToWide(TutorialGuideFor(tw::ShownLanguage()));
  if (!FileExists(document)) ExtractPackage(archive);
  if (!FileExists(document)) document = folder + Utf8ToWide(kTutorialGuideChinese);
  if (FileExists(document)) ShellOpenInExplorer(0, document);
}
