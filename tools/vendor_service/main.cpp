// tidewell_vendor_service: the vendor's service, run locally for `make run`
// and the end-to-end tests. See vendor_options.cpp for the options.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>

#include <platform/atomic_file.h>
#include <tools/vendor_service/event_log.h>
#include <tools/vendor_service/vendor_options.h>
#include <tools/vendor_service/vendor_service.h>

int main(int argc, char** argv) {
  VendorOptions options;
  std::string error;
  if (!ParseVendorOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "tidewell_vendor_service: %s\n%s", error.c_str(), kVendorUsage);
    return 2;
  }
  EventLog events(options.eventLog);
  if (!events.Ok()) {
    std::perror(("tidewell_vendor_service: " + options.eventLog).c_str());
    return 1;
  }

  // Signals are taken by one thread with sigwait: the server's threads never
  // see them, and stopping happens outside a signal handler.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  VendorService service(options, &events);
  if (!service.Bind()) {
    std::fprintf(stderr, "tidewell_vendor_service: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }
  if (!options.portFile.empty()) {
    const int status = platform::WriteFileAtomically(options.portFile,
                                                            std::to_string(service.port()) + "\n");
    if (status != 0) {
      std::fprintf(stderr, "tidewell_vendor_service: cannot write %s\n", options.portFile.c_str());
      return 1;
    }
  }
  std::printf("listening on %s\n", service.Url("").c_str());
  std::fflush(stdout);

  std::thread waiter([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.Stop();
  });
  service.Listen();
  // Listen also ends when the server fails; wake the waiter either way.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return 0;
}
