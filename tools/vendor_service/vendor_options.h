#pragma once
// Command-line options of the local vendor service.
#include <cstdint>
#include <set>
#include <string>

struct VendorOptions {
  // --config: a deployment's configuration file (vendor_config.h); the
  // other options given with it win over what it says.
  std::string configFile;
  bool checkConfig = false;  // check the configuration, then exit
  std::string listenAddress = "127.0.0.1";
  int port = 0;  // 0: an ephemeral port
  // Where clients reach the service (behind a proxy, say); empty: its own
  // address and port.
  std::string publicBaseUrl;
  std::string configDocumentFile;  // empty: the built-in answer
  std::string packageSha256;       // empty: the package is not checked
  std::string packageSha256File;
  std::string portFile;
  std::string eventLog;
  std::string packageFile;
  bool noPackageUrl = false;
  // Announced as "DeepSeekVersion": installations of an older one are
  // offered an update. Empty: none announced.
  std::string packageVersion;
  // Every package answer breaks off after this many bytes (0: never), as a
  // connection that drops midway.
  std::uint64_t packageBreaksAt = 0;
  // A second location of the same file, /mirror/deepseek.zip, announced in
  // "DeepSeekUrls" after the first (/package/deepseek.zip).
  bool mirror = false;
  // Per location (index 0: the first, 1: the mirror): its answers break off
  // after this many bytes (0: never), or it answers 404.
  std::uint64_t locationBreaksAt[2] = {0, 0};
  bool locationRefuses[2] = {false, false};
  unsigned configDelayMs = 0;
  std::uint64_t modelSizeBytes = 4u << 20;
  std::uint64_t modelRate = 0;  // bytes per second; 0: as fast as possible
  std::set<std::string> brokenModels;
  std::set<std::string> extraModels;  // served besides the catalogue's seven
};

// False with a message on a bad command line.
bool ParseVendorOptions(int argc, char** argv, VendorOptions* options, std::string* error);

extern const char* const kVendorUsage;
