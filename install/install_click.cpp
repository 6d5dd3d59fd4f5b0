// The installation's first half, on the window thread: the click's checks,
// the wait for the configuration, the package's progress overlay and the
// package step's outcome.
#include <install/install_engine.h>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/install_steps.h>
#include <install/local_package.h>
#include <install/owned_files.h>
#include <install/package_step.h>
#include <install/progress_text.h>
#include <install/space_need.h>
#include <install/space_text.h>
#include <install/step_runs.h>
#include <package/file_downloader.h>
#include <platform/disk_space.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>

namespace {

// The version the record keeps for what the installation puts in: the one
// the configuration named, unless a package chosen on disk was not checked
// against an announced digest (then it may be any package).
std::string InstalledVersionOf(const Installation& installation) {
  if (!installation.localPackage.empty() && installation.packageSha256.empty()) return {};
  return installation.packageVersion;
}

// The folder could not be made.
constexpr char kNoFolderText[] = TW_TR_NOOP("InstallEngine", "DeepSeek安装不存在，不能安装!");
// It is there but relative, another user's, or others can write to it.
constexpr char kUnusableFolderText[] = TW_TR_NOOP(
    "InstallEngine",
    "安装位置不可用：请选择一个以完整路径写出、属于您自己且其他用户不能写入的文件夹。");
constexpr char kInstallFailedCaption[] = TW_TR_NOOP("InstallEngine", "安装失败");
constexpr char kWaitingForServiceText[] = TW_TR_NOOP("InstallEngine", "正在连接服务，请稍候...");
constexpr char kDownloadingPackageText[] =
    TW_TR_NOOP("InstallEngine", "正在下载安装包，请耐心等待...");
constexpr char kCheckingLocalPackageText[] =
    TW_TR_NOOP("InstallEngine", "正在检查并解压所选的安装包，请稍候...");
// Characters of the chosen file's name the line has room for.
constexpr std::size_t kShownNameChars = 22;

bool IsAbsolutePath(const std::wstring& path) { return platform::OsPath(path).is_absolute(); }

}  // namespace

void CInstallEngine::OnInstallClick(const std::wstring& folder, int listIndex) {
  if (ManageWorkBlocks()) return;
  ReportEvent("clickInstallPack", true);
  SetCause(L"");
  // A relative folder would land wherever the program was started from.
  // One we make is recorded as ours, so that uninstall takes it back.
  if (IsAbsolutePath(folder) && !DirectoryExists(folder)) {
    ClaimFolder(folder, "settings");
    if (!DirectoryExists(folder)) {
      ShowMessage(tw::Translate("InstallEngine", kNoFolderText),
           tw::Translate("InstallEngine", kInstallFailedCaption));
      return;
    }
  }
  // Programs are run from the folder: another user's, or one others can write, is refused.
  if (!IsAbsolutePath(folder) || !platform::IsFolderOurOwn(folder)) {
    ShowMessage(tw::Translate("InstallEngine", kUnusableFolderText),
         tw::Translate("InstallEngine", kInstallFailedCaption));
    return;
  }
  // Nothing of the user's is replaced: a folder the installation would write
  // to that stands there already and is not ours stops it before anything.
  if (const std::vector<std::wstring> foreign = ForeignFoldersIn(MakeInstallLayout(folder));
      !foreign.empty()) {
    ShowMessage(ForeignFolderText(folder, foreign.front()),
         tw::Translate("InstallEngine", kInstallFailedCaption));
    return;
  }
  // Ask before a download that cannot fit rather than fail after it: the
  // model, the package, its unpacked copy and the installed programs.
  const std::uint64_t required =
      RequiredBytesForListIndex(listIndex) +
      PackageFootprintBytes(m_state.localPackage.empty() ? PackageArchivePath() : m_state.localPackage);
  if (const auto free = platform::FreeDiskSpace(folder); free && required > *free) {
    const std::wstring text = FormatWString(
        TW_TR("InstallEngine",
              "所选模型约需 %ls，连同安装包、解压文件和安装的程序共约需 %ls 磁盘空间，"
              "安装位置只有 %ls 可用。\n仍要继续安装吗？")
            .c_str(),
        SizeTextForListIndex(listIndex).c_str(), FormatFreeSpace(required).c_str(),
        FormatFreeSpace(*free).c_str());
    if (!AskToContinue(text, TW_TR("InstallEngine", "磁盘空间不足"))) return;
  }
  GetServiceState().installFolder = folder;
  m_installingModel = listIndex;
  // What a broken-off uninstall meant to remove is wanted again now.
  ClearPendingUninstall();
  StepContext settings;
  settings.installation.layout = MakeInstallLayout(folder);
  PerformInstallStep("settings", settings);
  m_state.stage = InstallStage::Package;
  // A package on disk waits for nothing: a digest already announced is
  // checked, none is not waited for.
  if (!m_state.localPackage.empty()) {
    StartInstall();
    return;
  }
  // A configuration that brought no package address is asked for again.
  if (m_configReady && GetServiceState().packageUrl.empty()) StartConfigFetch();
  if (!m_configReady) {
    // The package address comes with the configuration: wait for it.
    m_installWaitingForConfig = true;
    ShowWaitingForService();
    return;
  }
  StartInstall();
}

void CInstallEngine::ShowWaitingForService() {
  m_state.overlay = PackageOverlayState{};
  m_state.overlay.shown = ProgressOverlay::WaitingForService;
  m_state.overlay.title = tw::Translate("InstallEngine", kWaitingForServiceText);
  Publish();
}

bool CInstallEngine::ChooseLocalPackage(const std::wstring& path) {
  const LocalPackageFile look = LookAtLocalPackage(path);
  if (look != LocalPackageFile::Usable) {
    SetCause(LocalPackageFileText(look, path));
    return false;
  }
  m_state.cause.clear();
  m_state.localPackage = path;
  ShowLocalPackage();
  return true;
}

void CInstallEngine::ClearLocalPackage() {
  m_state.localPackage.clear();
  m_state.cause.clear();
  ShowLocalPackage();
}

void CInstallEngine::ShowLocalPackage() {
  m_state.localPackageLine =
      m_state.localPackage.empty()
          ? std::wstring()
          : FormatWString(TW_TR("InstallEngine", "本地安装包：%ls").c_str(),
                          LocalPackageShownName(m_state.localPackage, kShownNameChars).c_str());
  Publish();
}

void CInstallEngine::StartInstall() {
  downloadPercent = 0;
  // A new pull's progress; its count of publications goes on.
  m_state.installPull.progress = PullProgress{};
  m_state.installPull.line.clear();
  m_state.installPull.full.clear();
  m_state.overlay = PackageOverlayState{};
  m_state.overlay.shown = ProgressOverlay::Package;
  m_state.overlay.title = m_state.localPackage.empty()
                              ? tw::Translate("InstallEngine", kDownloadingPackageText)
                              : tw::Translate("InstallEngine", kCheckingLocalPackageText);
  m_state.overlay.percentText = L"(0 %)";
  m_speedStart = {};
  m_speedBytes = 0;
  m_bytesPerSecond = 0;
  // One stop flag per installation: a close of this one's overlay never
  // reaches a later one.
  const int installation = ++m_installation;
  m_cancel = std::make_shared<std::atomic<bool>>(false);
  m_packageRunning = true;
  m_installing = TakeInstallation();
  m_installing.localPackage = m_state.localPackage;
  Publish();
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
  if (m_state.overlay.shown != ProgressOverlay::Package) return;
  const int value = static_cast<int>(downloadPercent.load());
  m_state.overlay.percent = value;
  m_state.overlay.percentText = FormatWString(L"(%d %%)", value);
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
  m_state.overlay.detail =
      m_installing.localPackage.empty()
          ? Utf8ToWide(PackageProgressText(done, downloadBytesTotal.load(), m_bytesPerSecond))
          : std::wstring();
  if (value > 99) m_state.overlay.shown = ProgressOverlay::Hidden;
  Publish();
}

void CInstallEngine::OnOverlayClose() {
  m_serviceWaitingForConfig = false;
  const bool packageShown = m_state.overlay.shown == ProgressOverlay::Package;
  m_state.overlay.shown = ProgressOverlay::Hidden;
  if (m_installWaitingForConfig) {
    // Nothing has started yet: back to the install image.
    m_installWaitingForConfig = false;
    ReturnToIdle();
    return;
  }
  if (m_packageRunning && packageShown) {
    // Whatever step it is in (a download, the check of a kept archive,
    // the unpack), the installation stops and says so.
    m_cancel->store(true);
    GetFileDownloader().Cancel();
  }
  Publish();
}

void CInstallEngine::OnPackageFailed(const EventQrCodeDisChanged3& failed) {
  // A stopped installation that ends after a new one began says nothing.
  if (!m_packageRunning || failed.installation != m_installation) return;
  m_packageRunning = false;
  m_state.overlay.shown = ProgressOverlay::Hidden;
  m_state.cause = failed.cause;
  ReturnToIdle();
}

void CInstallEngine::OnPackageReady(const EventDownModelChanged3& ready) {
  if (!m_packageRunning || ready.installation != m_installation) return;
  m_packageRunning = false;
  m_state.overlay.shown = ProgressOverlay::Hidden;
  ShowStage(InstallStage::Runner);
  StartAction([this, layout = m_installing.layout, version = InstalledVersionOf(m_installing)](
                  Action::IAction* action) { return InstallStackTask(action, layout, version); },
              [this] {
                PackageOutcome internal;
                internal.fault = PackageFault::Internal;
                m_state.cause = PackageFaultText(internal);
                ReturnToIdle();
              });
}
