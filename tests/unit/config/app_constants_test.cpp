#include <gtest/gtest.h>

#include <config/app_constants.h>
#include <config/product_version.h>
#include <config/reg_key.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

namespace {

using platform::kCurrentUser;

const std::wstring kUninstall =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tidewell";
const std::wstring kProduct = L"SOFTWARE\\Tidewell";

TEST(AppConstants, DefaultsOnAFreshUserAndKeysCreated) {
  TempHome home;
  const AppConstants constants;
  EXPECT_EQ(constants.channel, "plat_main");
  EXPECT_EQ(constants.clientVersion, kProductVersion);
  EXPECT_EQ(constants.osName, platform::OsName());
  EXPECT_EQ(constants.deviceId.size(), 32u);
  EXPECT_EQ(constants.kWorkerThreadCount, 12);
  EXPECT_TRUE(constants.dataFolder.empty());
  EXPECT_EQ(constants.instanceMutexName, L"9C41D7A2-6B3E-4F80-A1C5-7E2B94D03F66");
  for (const std::wstring& path : {kUninstall, kProduct}) {
    platform::KeyHandle key = 0;
    EXPECT_EQ(platform::OpenKey(kCurrentUser, path, platform::kKeyRead, &key), platform::kSuccess);
    platform::CloseKey(key);
  }
}

TEST(AppConstants, ChannelAndVersionFromTheStore) {
  TempHome home;
  {
    RegKey uninstall(kCurrentUser, kUninstall);
    uninstall.SetStringValue(L"Channel", L"");
    RegKey product(kCurrentUser, kProduct);
    product.SetStringValue(L"DisplayVersion", L"2.3.0.9");
  }
  const AppConstants empty;
  EXPECT_EQ(empty.channel, "YD01_ds01");  // present but empty
  EXPECT_EQ(empty.clientVersion, "2.3.0.9");
  {
    RegKey uninstall(kCurrentUser, kUninstall);
    uninstall.SetStringValue(L"Channel", L"渠道_7");
    RegKey product(kCurrentUser, kProduct);
    product.SetStringValue(L"DisplayVersion", L"");
  }
  const AppConstants named;
  EXPECT_EQ(named.channel, platform::WideToOsNarrow(L"渠道_7"));  // the system's narrow text
  EXPECT_EQ(named.clientVersion, "");  // an empty value gives an empty version
}

TEST(AppConstants, ServiceUrlOverrideAndEndpoints) {
  TempHome home;
  SetVariable("TIDEWELL_SERVICE_URL", "http://127.0.0.1:8123/");
  const AppConstants constants;
  UnsetVariable("TIDEWELL_SERVICE_URL");
  EXPECT_EQ(constants.serviceBaseUrl, "http://127.0.0.1:8123");
  EXPECT_EQ(constants.remoteConfigUrl, "http://127.0.0.1:8123/api/dpsk/config");
  EXPECT_EQ(constants.eventLogUrl, "http://127.0.0.1:8123/dpsk/log/log");
  const AppConstants built;
  EXPECT_FALSE(built.serviceBaseUrl.empty());
  EXPECT_NE(built.serviceBaseUrl.back(), '/');
}

}  // namespace
