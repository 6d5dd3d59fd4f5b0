// The start-up work and the vendor service: the usage reports, the remote
// configuration (and the clicks that wait for it), the install folder, and
// the look at what is installed already.
#include <install/install_engine.h>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/install_layout.h>
#include <install/installed_status.h>
#include <install/ollama_runner.h>
#include <install/owned_files.h>
#include <install/package_outcome.h>
#include <install/package_update.h>
#include <install/shell_helpers.h>
#include <install/step_runs.h>
#include <platform/os_encoding.h>
#include <service/event_reporter.h>
#include <service/service_state.h>

void CInstallEngine::ReportEvent(const std::string& name, bool addSuffix) {
  ReleaseHeldReports();
  GetEventReporter().Report(addSuffix ? name + "Deepseek" : name);
}

// The reporter knows whether it holds reports: releasing or dropping
// without a hold does nothing.
void CInstallEngine::HoldReportsUntilSeen() { GetEventReporter().Hold(); }

void CInstallEngine::ReleaseHeldReports() { GetEventReporter().Release(); }

void CInstallEngine::DropHeldReports() { GetEventReporter().DropHeld(); }

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
        OnWindow(action, [&] { done(fetch, status); });
        return 0;
      },
      [done] { done(ConfigFetch::NoAnswer, 0); });
}

void CInstallEngine::OnRemoteConfigReady() {
  m_configReady = true;
  if (m_serviceWaitingForConfig) {
    m_serviceWaitingForConfig = false;
    if (!m_installWaitingForConfig) {
      m_state.overlay.shown = ProgressOverlay::Hidden;
      Publish();
    }
    OpenCustomerService();
  }
  if (!m_installWaitingForConfig) return;
  m_installWaitingForConfig = false;
  StartInstall();
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
  ShowWaitingForService();
}

void CInstallEngine::OpenCustomerService() {
  const std::string& url = GetServiceState().serviceUrl;
  if (!url.empty()) {
    // Kept in the system's narrow encoding, as the configuration gave it.
    ShellOpen(0, ToWide936(url));
  } else if (m_configFetch != ConfigFetch::Applied) {
    SetCause(ConfigFaultText(m_configFetch, m_configStatus));
  }
}

std::wstring CInstallEngine::RestoreInstallFolder() {
  std::wstring folder = LoadInstallPath();
  if (folder.empty()) folder = DefaultInstallFolder();
  GetServiceState().installFolder = folder;
  // Made as the installation's own (recorded), so uninstall takes it back.
  if (!DirectoryExists(folder) && platform::OsPath(folder).is_absolute()) {
    ClaimFolder(folder, "settings");
  }
  return folder;
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
    m_state.stage = InstallStage::Ready;
    ShowDownloadedModel(onDisk);
  }
  StartAction([this, layout, onDisk](Action::IAction* action) {
    FinishBrokenOffUpdate(action);
    OfferPendingUninstall(action);
    const RunnerCheck check = FindCatalogueModel(
        layout, GetServiceState().rememberedModelIndex, pullOptions.serverTimeoutMs);
    // An installation the user started meanwhile goes on to its own end.
    const auto installing = [this] {
      return m_state.stage != InstallStage::Idle && m_state.stage != InstallStage::Ready;
    };
    if (!check.found) {
      // The runner answers and has none of them after all.
      if (!onDisk.empty() && check.server == RunnerServerState::Ready) {
        OnWindow(action, [&] {
          if (!installing()) ShowInstalledModels({});
        });
      }
      return 0;
    }
    OnWindow(action, [&] {
      if (installing()) return;
      m_state.stage = InstallStage::Ready;
      ShowDownloadedModel(check.number);
    });
    return 0;
  });
}

void CInstallEngine::OfferPendingUninstall(Action::IAction* action) {
  // Finished first, once the user agrees: nothing of it is then taken for
  // an installation.
  if (!UninstallPending()) return;
  bool agreed = false;
  OnWindow(action, [&] {
    // Nothing of the window starts while it finishes.
    agreed = AskToContinue(TW_TR("InstallEngine",
                       "上次的卸载没有完成。现在完成卸载吗？\n选择“否”则保持现状，"
                       "重新安装或修复后将不再提示。"),
                 TW_TR("InstallEngine", "完成卸载"));
    SetManageWorkRunning(agreed);
  });
  if (!agreed) return;
  UninstallReport report;
  FinishPendingUninstall(&report);
  OnWindow(action, [&] {
    std::wstring text;
    for (const std::wstring& line : report.lines) text += line + L"\n";
    if (!report.leftBehind.empty()) {
      text += TW_TR("InstallEngine", "以下内容不是本程序安装的或按您的选择保留，未删除：") + L"\n";
      for (const std::wstring& path : report.leftBehind) text += path + L"\n";
    }
    SetManageWorkRunning(false);
    ShowMessage(text, report.ok ? TW_TR("InstallEngine", "卸载完成")
                         : TW_TR("InstallEngine", "卸载未能全部完成"));
  });
}

void CInstallEngine::FinishBrokenOffUpdate(Action::IAction* action) {
  // Never left half: no question, the record says which way it goes.
  if (!UpdatePending()) return;
  OnWindow(action, [&] { SetManageWorkRunning(true); });
  UpdateCalls calls;
  calls.report = [this](const std::string& event) { ReportEvent(event, false); };
  UpdateReport report;
  const bool settled = FinishPendingUpdate(&report, calls);
  OnWindow(action, [&] {
    SetManageWorkRunning(false);
    if (!settled) return;
    std::wstring text = report.cause.empty() ? std::wstring() : report.cause + L"\n";
    for (const std::wstring& line : report.lines) text += line + L"\n";
    ShowMessage(text, UpdateReportTitle(report));
  });
}
