// tidewell_vendor_service: the vendor's service. Started with options by
// `make run` and the tests; deployed with --config (vendor_config.h) under
// systemd, which reads its one-line failures from stderr. See
// vendor_options.cpp for the options.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/program_arguments.h>
#include <platform/stop_requests.h>
#include <tools/vendor_service/event_log.h>
#include <tools/vendor_service/reopen_requests.h>
#include <tools/vendor_service/vendor_deployment.h>
#include <tools/vendor_service/vendor_options.h>
#include <tools/vendor_service/vendor_service.h>

namespace {

// Exit codes: a bad command line; a configuration that cannot work (the
// unit does not restart on it: restarting would not mend it); anything else.
constexpr int kBadUsage = 2;
constexpr int kBadConfig = 78;  // EX_CONFIG
constexpr int kFailed = 1;

std::string g_name = "tidewell_vendor_service";

int Fail(int code, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", g_name.c_str(), why.c_str());
  return code;
}

// The configuration file first, then the command line over it; then what
// the result names is read and checked. False with the exit code's reason.
bool Configure(int argc, char** argv, VendorOptions* options, std::string* error) {
  if (!options->configFile.empty()) {
    VendorOptions deployed;
    deployed.configFile = options->configFile;
    if (!ApplyVendorConfigFile(&deployed, error)) return false;
    // Parsed once already, so it cannot fail now.
    ParseVendorOptions(argc, argv, &deployed, error);
    // A deployment without a package of its own announces none.
    if (deployed.packageFile.empty()) deployed.noPackageUrl = true;
    *options = deployed;
  }
  if (!options->packageSha256File.empty() && !ReadPackageDigestFile(options, error)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A reopen request (logrotate, an admin) may come while the package is
  // still being hashed; unblocked, SIGHUP would end the service, which
  // systemd counts as a clean exit and so does not restart.
  TakeReopenRequests();
  if (argc > 0) {
    const std::string self = argv[0];
    g_name = self.substr(self.find_last_of("/\\") + 1);
  }
  // The options in the system's narrow encoding, read whole (see
  // program_arguments.h).
  std::vector<std::string> narrow = {g_name};
  for (const std::wstring& argument : platform::ProgramArguments(argc, argv)) {
    narrow.push_back(platform::WideToOsNarrow(argument));
  }
  std::vector<char*> arguments;
  for (std::string& argument : narrow) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  const int count = static_cast<int>(narrow.size());
  VendorOptions options;
  std::string error;
  if (!ParseVendorOptions(count, arguments.data(), &options, &error)) {
    std::fprintf(stderr, "%s: %s\n%s", g_name.c_str(), error.c_str(), kVendorUsage);
    return kBadUsage;
  }
  if (!Configure(count, arguments.data(), &options, &error)) return Fail(kBadConfig, error);

  VendorService service(options, nullptr);
  if (!options.packageSha256.empty() && !options.packageFile.empty()) {
    platform::FileHandle package;
    if (!OpenVerifiedPackage(options, &package, &error)) return Fail(kBadConfig, error);
    service.SetVerifiedPackage(std::move(package));
  }
  if (!options.configDocumentFile.empty()) {
    // A document is only named by a configuration file, which always gives
    // the public base URL.
    std::string document;
    if (!LoadConfigDocument(options, options.publicBaseUrl, &document, &error)) {
      return Fail(kBadConfig, error);
    }
    service.SetConfigDocument(std::move(document));
  }
  if (options.checkConfig) {
    std::printf("configuration OK\n");
    return 0;
  }

  EventLog events(options.eventLog);
  if (!events.Ok()) {
    return Fail(kFailed, "cannot open the event log " + options.eventLog + ": " +
                             std::strerror(errno));
  }
  service.SetEventLog(&events);

  // Taken before the server's threads start, so that they never see them.
  platform::TakeStopRequests();

  if (!service.Bind()) {
    return Fail(kFailed, "cannot listen on " + options.listenAddress + " port " +
                             std::to_string(options.port));
  }
  if (!options.portFile.empty()) {
    const int status =
        platform::WriteFileAtomically(platform::OsPath(platform::OsNarrowToWide(options.portFile)),
                                      std::to_string(service.port()) + "\n");
    if (status != 0) return Fail(kFailed, "cannot write " + options.portFile);
  }
  std::printf("listening on %s\n", service.Url("").c_str());
  if (!options.publicBaseUrl.empty()) {
    std::printf("(bound to %s)\n", service.ListenUrl().c_str());
  }
  std::fflush(stdout);

  std::thread reopener([&] {
    ServeReopenRequests([&] {
      if (events.Reopen()) {
        std::printf("event log reopened\n");
        std::fflush(stdout);
      } else {
        std::fprintf(stderr, "%s: cannot reopen the event log %s: %s (still writing the old one)\n",
                     g_name.c_str(), options.eventLog.c_str(), std::strerror(errno));
      }
    });
  });
  std::thread waiter([&] {
    platform::WaitForStopRequest();
    service.Stop();
  });
  const bool listened = service.Listen();
  // Listen also ends when the server fails; wake the waiter either way.
  platform::ReleaseStopWaiter();
  waiter.join();
  StopServingReopenRequests();
  reopener.join();
  // A listener that broke down is a failure, so that systemd restarts it.
  if (!listened) return Fail(kFailed, "stopped accepting connections on " + service.ListenUrl());
  return 0;
}
