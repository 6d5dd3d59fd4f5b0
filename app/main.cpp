// Entry point. The window arrives with the start-up sequence; until then the
// program brings up its identity and settings and reports them.
#include <cstdio>

#include <config/app_constants.h>
#include <config/config_module.h>
#include <config/reg_key.h>
#include <install/file_helpers.h>
#include <install/text_helpers.h>
#include <platform/instance_lock.h>
#include <platform/known_folders.h>

namespace {
// Complete before main runs: every later step reads the constants freely.
const AppConstants& g_constants = GetAppConstants();
}  // namespace

int main() {
  std::unique_ptr<platform::InstanceLock> instance;
  if (platform::AcquireInstanceLock(g_constants.instanceMutexName, &instance) ==
      platform::InstanceLockResult::AlreadyHeld) {
    return 0;
  }
  WriteStringToExistingKey(platform::kCurrentUser, g_constants.productKeyPath, L"uuid",
                           ToWide936(g_constants.deviceId));

  AppConstants& constants = GetAppConstants();
  constants.dataFolder = platform::RoamingAppDataFolder() + L"/" + constants.productFolderName + L"/";
  if (!CreateDirectoryTree(constants.dataFolder)) {
    std::fprintf(stderr, "Tidewell: cannot create the data folder %s\n",
                 ToNarrow936(constants.dataFolder).c_str());
    return 1;
  }
  CConfigModule settings;
  settings.SetPath((constants.dataFolder + constants.settingsFileName).c_str());
  settings.Load();

  std::printf("Tidewell %s (%s, channel %s)\ndevice %s\nservice %s\ndata folder %s\n",
              constants.clientVersion.c_str(), constants.osName.c_str(),
              constants.channel.c_str(), constants.deviceId.c_str(),
              constants.serviceBaseUrl.c_str(), ToNarrow936(constants.dataFolder).c_str());
  return 0;
}
