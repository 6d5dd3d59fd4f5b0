#pragma once
// The process-wide service state: created on first use, kept until the
// process ends. It talks to the vendor service (remote configuration, event
// log) and carries the application state the engine and the window share.
#include <json/value.h>

#include <string>
#include <vector>

#include <config/guarded.h>
#include <net/http_client.h>

// How the latest configuration request ended.
enum class ConfigFetch {
  Applied,    // an answer was applied (its fields may still be empty)
  NoAnswer,   // the service could not be reached or did not answer in time
  BadStatus,  // it answered with an error status
  NotJson,    // its answer could not be read
};

class CServiceState {
 public:
  static constexpr long kRequestTimeoutMs = 30000;

  // The per-user local application-data folder + "/Tidewell/", created with
  // its missing parents. False when it cannot be created.
  bool PrepareWorkFolder();

  // One GET; true with the body for a 2xx answer. Otherwise (other status,
  // no answer, timeout) false, and body keeps what it held.
  bool HttpGet(const std::string& url, const HeaderSet& headers, std::string& body,
               const RequestSent& onSent = {}) const;
  // "uuid=…&channel=…&client_version=…", values as held, unescaped.
  std::string BuildQueryString() const;
  // Sets client_version, channel, osver and Content-Type, keeping the rest.
  void FillCommonHeaders(HeaderSet& headers) const;
  // Asks the service for its configuration and applies serviceUrl,
  // packageUrl, packageSha256 and packageVersion from a usable answer. status gets the
  // answer's HTTP status (0 without one).
  ConfigFetch FetchRemoteConfig(long* status = nullptr);
  // A JSON string in the OS narrow encoding, or the default for anything else.
  std::string GetJsonString(const Json::Value& value, const std::string& defaultValue) const;
  // Reports one named event; the outcome is not looked at.
  void SendLogEvent(const std::string& eventName, const RequestSent& onSent = {}) const;

  // Remote configuration: empty until an answer has been applied. Handed
  // over, not locked: written by the configuration-fetch worker before its
  // result reaches the window thread, read by the window only once the
  // configuration is ready and by a package step that a fetch never overlaps.
  std::string serviceUrl;  // OS narrow encoding
  std::string packageUrl;  // UTF-8, as sent: the first of packageUrls
  // Every place the package may be fetched from, in the order tried:
  // "DeepSeekUrl", then "DeepSeekUrls" (see PackageLocations).
  std::vector<std::string> packageUrls;
  // "DeepSeekSha256": the package's SHA-256 in hexadecimal, or empty when the
  // service announces none (then the package is not checked).
  std::string packageSha256;
  // "DeepSeekVersion": the package's dotted version ("1.10.2"), or empty when
  // the service names none or names it in any other form.
  std::string packageVersion;

  // Written once at start-up, before any worker runs.
  std::wstring workFolder;
  // Written by the window thread, read by every worker.
  CGuarded<std::wstring> installFolder;
  // The catalogue number ("1" to "7") of the model pulled last; written by
  // the window and by list-pull workers, read by detection workers.
  CGuarded<std::string> rememberedModelIndex;

  // Time limit of each service request; tests shorten it.
  long requestTimeoutMs = kRequestTimeoutMs;
  // Certificates to trust instead of the system's; tests set it.
  std::string caFile;
};

CServiceState& GetServiceState();

// The package's locations from the configuration's "DeepSeekUrl" (primary)
// and "DeepSeekUrls" (a JSON array of strings): the primary first, then the
// list in its order; when the list names the primary too, the list's order
// alone. Non-strings, empty strings and repeats are left out. Each address
// is checked where it is used: only http and https are fetched.
std::vector<std::string> PackageLocations(const std::string& primary, const Json::Value& list);
