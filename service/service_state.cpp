#include <service/service_state.h>

#include <algorithm>
#include <filesystem>

#include <base/package_version.h>
#include <config/app_constants.h>
#include <config/json_text.h>
#include <platform/atomic_file.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>

bool CServiceState::PrepareWorkFolder() {
  const wchar_t separator = platform::PathSeparator();
  workFolder =
      platform::LocalAppDataFolder() + separator + GetAppConstants().productFolderName + separator;
  // It holds the install package and the tutorial: the user's alone.
  platform::CreateOwnPrivateFolder(platform::OsPath(workFolder));
  std::error_code ec;
  return std::filesystem::is_directory(platform::OsPath(workFolder), ec);
}

bool CServiceState::HttpGet(const std::string& url, const HeaderSet& headers, std::string& body,
                            const RequestSent& onSent) const {
  try {
    HttpResponse response = HttpGetRequest(url, headers, requestTimeoutMs, caFile, onSent);
    if (response.status < 200 || response.status > 299) return false;
    body = std::move(response.body);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string CServiceState::BuildQueryString() const {
  const AppConstants& constants = GetAppConstants();
  return "uuid=" + constants.deviceId + "&channel=" + constants.channel +
         "&client_version=" + constants.clientVersion;
}

void CServiceState::FillCommonHeaders(HeaderSet& headers) const {
  const AppConstants& constants = GetAppConstants();
  headers["client_version"] = constants.clientVersion;
  headers["channel"] = constants.channel;
  headers["osver"] = constants.osName;
  headers["Content-Type"] = "application/json";
}

std::string CServiceState::GetJsonString(const Json::Value& value,
                                         const std::string& defaultValue) const {
  if (!value.isString()) return defaultValue;
  return platform::WideToOsNarrow(platform::Utf8ToWide(value.asString()));
}

std::vector<std::string> PackageLocations(const std::string& primary, const Json::Value& list) {
  std::vector<std::string> listed;
  if (list.isArray()) {
    for (const Json::Value& entry : list) {
      if (!entry.isString() || entry.asString().empty()) continue;
      if (std::find(listed.begin(), listed.end(), entry.asString()) == listed.end()) {
        listed.push_back(entry.asString());
      }
    }
  }
  // The list's own order rules when it names the single address too.
  if (primary.empty() || std::find(listed.begin(), listed.end(), primary) != listed.end()) {
    return listed;
  }
  listed.insert(listed.begin(), primary);
  return listed;
}

ConfigFetch CServiceState::FetchRemoteConfig(long* status) {
  HeaderSet headers;
  FillCommonHeaders(headers);
  const std::string url = GetAppConstants().remoteConfigUrl + "?" + BuildQueryString();
  HttpResponse response;
  try {
    response = HttpGetRequest(url, headers, requestTimeoutMs, caFile);
  } catch (const std::exception&) {
    response.status = 0;
  }
  if (status != nullptr) *status = response.status;
  if (response.status == 0) return ConfigFetch::NoAnswer;
  if (response.status < 200 || response.status > 299) return ConfigFetch::BadStatus;
  std::string body = std::move(response.body);
  // An answer without braces (an HTML page, an empty body) counts as {}:
  // applied, and still named for what it was.
  const bool braces = body.find('{') != std::string::npos && body.find('}') != std::string::npos;
  if (!braces) body = "{}";
  Json::Value root;
  if (!ParseJson(body, root)) return ConfigFetch::NotJson;
  // Only an object carries the two fields; anything else empties them (the
  // JSON library would throw on member access).
  const Json::Value empty;
  const Json::Value& service = root.isObject() ? root["serviceurl"] : empty;
  const Json::Value& package = root.isObject() ? root["DeepSeekUrl"] : empty;
  const Json::Value& digest = root.isObject() ? root["DeepSeekSha256"] : empty;
  const Json::Value& mirrors = root.isObject() ? root["DeepSeekUrls"] : empty;
  const Json::Value& version = root.isObject() ? root["DeepSeekVersion"] : empty;
  serviceUrl = GetJsonString(service, "");
  packageUrls = PackageLocations(package.isString() ? package.asString() : std::string(), mirrors);
  packageUrl = packageUrls.empty() ? std::string() : packageUrls.front();
  packageSha256 = digest.isString() ? digest.asString() : std::string();
  // It reaches the record and the screen: anything but dotted numbers is
  // no version.
  packageVersion = version.isString() && IsPackageVersion(version.asString()) ? version.asString()
                                                                              : std::string();
  return braces ? ConfigFetch::Applied : ConfigFetch::NotJson;
}

void CServiceState::SendLogEvent(const std::string& eventName, const RequestSent& onSent) const {
  const AppConstants& constants = GetAppConstants();
  const std::string url = constants.eventLogUrl + "/" + eventName + "/" + constants.channel +
                          "/WX_" + constants.clientVersion + "/" + constants.osName + "/" +
                          constants.deviceId;
  std::string scratch;
  HttpGet(url, {{"Content-Type", "application/json"}}, scratch, onSent);
}

CServiceState& GetServiceState() {
  static CServiceState state;
  return state;
}
