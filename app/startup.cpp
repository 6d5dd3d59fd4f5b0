#include "startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QTimer>

#include <cstdio>
#include <memory>

#include <base/text_helpers.h>
#include <config/app_constants.h>
#include <config/config_module.h>
#include <config/device_id.h>
#include <config/reg_key.h>
#include <platform/atomic_file.h>
#include <platform/instance_lock.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <service/service_state.h>
#include <ui/folder_dialog.h>
#include <ui/language.h>
#include <ui/layout_loader.h>
#include <ui/main_dlg.h>
#include <ui/message_box.h>
#include <ui/qt_notify_center.h>
#include <ui/tutorial_archive.h>
#include <work/action_factory.h>
#include <work/thread_module.h>

#include "first_paint_trace.h"
#include "window_capture.h"

namespace {

// Held for the life of the process: a second instance finds it taken.
std::unique_ptr<platform::InstanceLock> g_instanceLock;

bool RequiredImageFormatsPresent() {
  const QList<QByteArray> formats = QImageReader::supportedImageFormats();
  return formats.contains("gif") && formats.contains("svg");
}

// The translation is optional: without it the window still opens.
void InstallTranslator(QApplication& app) { ApplyLanguage(app, StartLanguage()); }

// The settings and the modules the window relies on, in their order. The
// worker pool, action factory and notify center live until the process ends.
bool CreateDataFolderAndModules(std::unique_ptr<CConfigModule>& settings) {
  AppConstants& constants = GetAppConstants();
  std::wstring roaming = platform::RoamingAppDataFolder();
  if (roaming.empty()) roaming = platform::RoamingAppDataFolder();
  const wchar_t separator = platform::PathSeparator();
  constants.dataFolder = roaming + separator + constants.productFolderName + separator;
  // It holds the settings (with the sign-in token) and the key store: private.
  if (platform::CreateOwnPrivateFolder(platform::OsPath(constants.dataFolder)) != 0) return false;
  new CThreadModule(AppConstants::kWorkerThreadCount);
  settings = std::make_unique<CConfigModule>();
  settings->SetPath((constants.dataFolder + constants.settingsFileName).c_str());
  settings->Load();
  new Action::CActionFactory();
  auto* center = new CQtNotifyCenter();
  DeclareApplicationEvents(*center);
  return true;
}

}  // namespace

int RunApplication(int argc, char** argv, const std::wstring& packageFile) {
  const AppConstants& constants = GetAppConstants();

  // 1. Single instance: a second process ends at once, silently. A lock that
  // cannot be taken at all never stops the program.
  switch (platform::AcquireInstanceLock(constants.instanceMutexName, &g_instanceLock)) {
    case platform::InstanceLockResult::AlreadyHeld:
      return 0;
    case platform::InstanceLockResult::Failed:
      platform::DebugOutput("single-instance lock unavailable; starting without it\n");
      break;
    case platform::InstanceLockResult::Acquired:
      break;
  }

  // 2. The service state's work folder, and libcurl's global state, set up
  // once here and never torn down while a request may run.
  GetServiceState().PrepareWorkFolder();
  EnsureCurlGlobalInit();

  // 3. The device identifier, for the service and for support.
  WriteStringToExistingKey(platform::kCurrentUser, constants.productKeyPath, L"uuid",
                           platform::OsNarrowToWide(ComputeDeviceId()));

  // 5. Toolkit start-up.
  auto app = std::make_unique<QApplication>(argc, argv);
  // The menu entry's name: Wayland docks match the window to it by this (X11
  // ones by the class, which Qt takes from the program's name, "tidewell").
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tidewell.Tidewell"));
  if (!RequiredImageFormatsPresent()) {
    ShowMessageBox(QCoreApplication::translate("Startup", "无法正常初使化SOUI"),
                   QCoreApplication::translate("Startup", "错误"), MessageIcon::Error);
    return 0;
  }
  RegisterCustomControls();
  InstallTranslator(*app);

  // 6. Data folder and modules.
  std::unique_ptr<CConfigModule> settings;
  if (!CreateDataFolderAndModules(settings)) {
    // Without its data folder the program can neither keep its settings nor
    // store the install package: say so and stop rather than fail later.
    ShowMessageBox(QCoreApplication::translate("Startup", "无法创建数据文件夹：%1")
                       .arg(QString::fromStdWString(GetAppConstants().dataFolder)),
                   QCoreApplication::translate("Startup", "错误"), MessageIcon::Error);
    return 1;
  }

  // The tutorial click finds the guide in the work folder.
  PlaceTutorialArchive(GetServiceState().workFolder);

  // 7. The main window: initialised before it is shown, centred, shown.
  int exitCode = 0;
  {
    CMainDlg window;
    if (!window.Create()) {
      ShowMessageBox(QCoreApplication::translate("Startup", "无法正常初使化SOUI"),
                     QCoreApplication::translate("Startup", "错误"), MessageIcon::Error);
      return 0;
    }
    window.OnInitDialog();
    // As if chosen in the window: a file it refuses is named under the
    // install image, and on the terminal.
    if (!packageFile.empty() && !window.UseLocalPackage(packageFile)) {
      std::fprintf(stderr, "tidewell: cannot use the package %s\n",
                   platform::WideToOsNarrow(packageFile).c_str());
    }
    window.CenterWindow();
    window.show();
    TraceFirstPaint(window);
    CaptureWindowIfAsked(window);

    // 8. The message loop, until the window closes.
    exitCode = QApplication::exec();
  }

  // 9. Shutdown: the toolkit, then the settings store. Workers are not waited
  // for; the process end reclaims them (main leaves without running static
  // destructors). The notify center closed with the event loop: a worker that
  // reaches for the window from now on returns at once.
  app.reset();
  settings.reset();
  return exitCode;
}
