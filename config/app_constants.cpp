#include <config/app_constants.h>

#include <cstdlib>

#include <config/device_id.h>
#include <config/product_version.h>
#include <config/reg_key.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>

#ifndef TIDEWELL_SERVICE_URL
#error "TIDEWELL_SERVICE_URL must be defined by the build"
#endif

std::string ServiceBaseUrlSetting() {
  const char* override = std::getenv("TIDEWELL_SERVICE_URL");
  std::string url = override != nullptr && *override != '\0' ? override : TIDEWELL_SERVICE_URL;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

AppConstants::AppConstants() {
  serviceBaseUrl = ServiceBaseUrlSetting();
  remoteConfigUrl = serviceBaseUrl + "/api/dpsk/config";
  eventLogUrl = serviceBaseUrl + "/dpsk/log/log";
  clientVersion = kProductVersion;
  deviceId = ComputeDeviceId();
  osName = platform::OsName();

  try {
    RegKey key(platform::kCurrentUser, uninstallKeyPath);
    channel = platform::WideToOsNarrow(key.GetStringValue(L"Channel"));
    key.Close();
  } catch (const std::exception&) {
    // No channel recorded: the default stands.
  }
  if (channel.empty()) channel = "YD01_ds01";

  try {
    RegKey key(platform::kCurrentUser, productKeyPath);
    clientVersion = platform::WideToOsNarrow(key.GetStringValue(L"DisplayVersion"));
    key.Close();
  } catch (const std::exception&) {
    // No version recorded: the default stands.
  }
}

AppConstants& GetAppConstants() {
  static AppConstants constants;
  return constants;
}
