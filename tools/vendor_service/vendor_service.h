#pragma once
// The local vendor service: remote configuration, event log, the install
// package, model bytes for the stand-in runner, and a support page. HTTP on
// 127.0.0.1 only.
#include <httplib.h>

#include <atomic>
#include <string>

#include <tools/vendor_service/event_log.h>
#include <tools/vendor_service/vendor_options.h>

class VendorService {
 public:
  VendorService(const VendorOptions& options, EventLog* events);
  // Binds 127.0.0.1 on the chosen port; false when it cannot.
  bool Bind();
  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  // Serves until Stop; call after Bind.
  void Listen();
  // From any thread, also before Listen has started.
  void Stop();

 private:
  void Routes();
  bool ServesModel(const std::string& tag) const;
  // One location of the package (0: the first, 1: the mirror).
  void ServePackage(int location, const httplib::Request& req, httplib::Response& res);

  const VendorOptions& options_;
  EventLog* events_;
  httplib::Server server_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenEnded_{false};
};
