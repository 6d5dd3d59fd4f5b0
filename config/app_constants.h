#pragma once
// The product's fixed identifiers and the values worked out once as the
// program loads. Written only before any worker exists (dataFolder once at
// start-up), then read by every thread without a lock.
#include <string>

class AppConstants {
 public:
  // Builds the record: fixed fields, device identifier, OS name, and the
  // channel and client version from the key store (creating their keys).
  AppConstants();

  std::string serviceBaseUrl;
  std::wstring uninstallKeyPath =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tidewell";
  std::wstring productKeyPath = L"SOFTWARE\\Tidewell";
  std::wstring chatboxSetupKeyPath = L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251";
  std::wstring instanceMutexName = L"9C41D7A2-6B3E-4F80-A1C5-7E2B94D03F66";
  std::wstring productFolderName = L"Tidewell";
  std::wstring settingsFileName = L"config";
  std::wstring dataFolder;
  std::string deviceId;
  std::string channel = "plat_main";
  std::string osName;
  std::string clientVersion;
  static constexpr int kWorkerThreadCount = 12;

  // The service endpoints, formed once from the base URL.
  std::string remoteConfigUrl;
  std::string eventLogUrl;
};

// The process-wide record, built on first use; the program touches it during
// static initialisation so that it is complete before main runs.
AppConstants& GetAppConstants();

// The build's service base URL, or TIDEWELL_SERVICE_URL when set, without a
// trailing slash.
std::string ServiceBaseUrlSetting();
