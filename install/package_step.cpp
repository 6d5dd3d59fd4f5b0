#include <install/package_step.h>

#include <filesystem>

#include <install/file_helpers.h>
#include <install/install_layout.h>
#include <package/file_downloader.h>
#include <package/package_digest.h>
#include <package/package_extract.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <work/notify_center.h>

bool FetchAndUnpackPackage() {
  CServiceState& state = GetServiceState();
  if (state.packageUrl.empty()) {
    GetEventReporter().Report("noUrlDeepseek");
    return false;
  }
  const std::wstring archive = PackageArchivePath();
  // A kept archive is used only while it is still the package announced.
  if (FileExists(archive) && !VerifyPackageDigest(archive, state.packageSha256)) {
    std::error_code ec;
    std::filesystem::remove(platform::OsPath(archive), ec);
  }
  if (!FileExists(archive)) {
    platform::CreatePrivateFolders(platform::OsPath(archive).parent_path());
    // Success is judged by the file alone.
    DownloadFile(state.packageUrl, platform::WideToOsNarrow(archive), state.packageSha256);
    if (!FileExists(archive)) return false;
  }
  ExtractPackageTo(archive, state.installFolder);
  const InstallLayout layout = MakeInstallLayout(state.installFolder);
  if (FileExists(layout.chatboxSetup) && FileExists(layout.ollamaSetup)) return true;
  // Kept only when whole: the next click downloads it again.
  std::error_code ec;
  std::filesystem::remove(platform::OsPath(archive), ec);
  return false;
}

void PreparePackage() {
  if (FetchAndUnpackPackage()) {
    PostUIEvent<EventDownModelChanged3>();
  } else {
    PostUIEvent<EventQrCodeDisChanged3>();
  }
}
