#include <service/service_state.h>

#include <filesystem>

#include <config/app_constants.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>

bool CServiceState::PrepareWorkFolder() {
  const wchar_t separator = platform::PathSeparator();
  workFolder =
      platform::LocalAppDataFolder() + separator + GetAppConstants().productFolderName + separator;
  std::error_code ec;
  std::filesystem::create_directories(platform::OsPath(workFolder), ec);
  return std::filesystem::is_directory(platform::OsPath(workFolder), ec);
}

CServiceState& GetServiceState() {
  static CServiceState state;
  return state;
}
