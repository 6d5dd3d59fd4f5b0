#pragma once
// The vendor service: remote configuration, event log, the install package,
// model bytes for the stand-in runner, and a support page. Plain HTTP on the
// configured address (127.0.0.1 unless a deployment says otherwise); TLS is
// the reverse proxy's.
#include <httplib.h>

#include <atomic>
#include <string>

#include <platform/file_handle.h>
#include <tools/vendor_service/byte_pacer.h>
#include <tools/vendor_service/event_log.h>
#include <tools/vendor_service/vendor_options.h>

class VendorService {
 public:
  // events may come later (SetEventLog), before Listen.
  VendorService(const VendorOptions& options, EventLog* events);
  void SetEventLog(EventLog* events) { events_ = events; }
  // Answers /api/dpsk/config with this document (config_document.h) in
  // place of the built-in answer.
  void SetConfigDocument(std::string document) { document_ = std::move(document); }
  // Serves this open file (checked against its digest) as the package.
  void SetVerifiedPackage(platform::FileHandle file) { verifiedPackage_ = std::move(file); }
  // Binds the listen address on the chosen port; false when it cannot.
  bool Bind();
  int port() const { return port_; }
  // The address it listens on, as "http://HOST:PORT".
  std::string ListenUrl() const;
  // The URL clients are given for path: the public base URL, or ListenUrl.
  std::string Url(const std::string& path) const;
  // Serves until Stop; call after Bind. False when the listener broke down
  // (accept failed for good) rather than being stopped.
  bool Listen();
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
  std::string document_;
  platform::FileHandle verifiedPackage_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenEnded_{false};
  // The models' rate, shared by all their answers.
  BytePacer modelPacer_;
};
