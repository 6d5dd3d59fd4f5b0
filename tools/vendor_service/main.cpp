// tidewell_vendor_service: the vendor's service, run locally for `make run`
// and the end-to-end tests. See vendor_options.cpp for the options.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/program_arguments.h>
#include <platform/stop_requests.h>
#include <tools/vendor_service/event_log.h>
#include <tools/vendor_service/vendor_options.h>
#include <tools/vendor_service/vendor_service.h>

int main(int argc, char** argv) {
  // The options in the system's narrow encoding, read whole (see
  // program_arguments.h).
  std::vector<std::string> narrow = {argc > 0 ? argv[0] : "tidewell_vendor_service"};
  for (const std::wstring& argument : platform::ProgramArguments(argc, argv)) {
    narrow.push_back(platform::WideToOsNarrow(argument));
  }
  std::vector<char*> arguments;
  for (std::string& argument : narrow) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  VendorOptions options;
  std::string error;
  if (!ParseVendorOptions(static_cast<int>(narrow.size()), arguments.data(), &options, &error)) {
    std::fprintf(stderr, "tidewell_vendor_service: %s\n%s", error.c_str(), kVendorUsage);
    return 2;
  }
  EventLog events(options.eventLog);
  if (!events.Ok()) {
    std::perror(("tidewell_vendor_service: " + options.eventLog).c_str());
    return 1;
  }

  // Taken before the server's threads start, so that they never see them.
  platform::TakeStopRequests();

  VendorService service(options, &events);
  if (!service.Bind()) {
    std::fprintf(stderr, "tidewell_vendor_service: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }
  if (!options.portFile.empty()) {
    const int status =
        platform::WriteFileAtomically(platform::OsPath(platform::OsNarrowToWide(options.portFile)),
                                      std::to_string(service.port()) + "\n");
    if (status != 0) {
      std::fprintf(stderr, "tidewell_vendor_service: cannot write %s\n", options.portFile.c_str());
      return 1;
    }
  }
  std::printf("listening on %s\n", service.Url("").c_str());
  std::fflush(stdout);

  std::thread waiter([&] {
    platform::WaitForStopRequest();
    service.Stop();
  });
  service.Listen();
  // Listen also ends when the server fails; wake the waiter either way.
  platform::ReleaseStopWaiter();
  waiter.join();
  return 0;
}
