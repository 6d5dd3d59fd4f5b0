#pragma once
// The local vendor service program run for a test: started on an ephemeral
// port of 127.0.0.1 with a private folder for its port file, event log and
// output; asked to stop (platform/stop_requests.h) when the object goes.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <platform/process.h>

struct LoggedEvent {
  std::string time, event, channel, version, os, uuid;
};

class VendorServiceProcess {
 public:
  // extraArgs go to the program as they are, for example
  // {"--package", path} or {"--broken-model", "deepseek-r1:7b"}.
  explicit VendorServiceProcess(const std::vector<std::string>& extraArgs = {});
  ~VendorServiceProcess();
  VendorServiceProcess(const VendorServiceProcess&) = delete;
  VendorServiceProcess& operator=(const VendorServiceProcess&) = delete;

  // True once the program listens (it wrote its port).
  bool Started() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT": the assistant's TIDEWELL_SERVICE_URL.
  std::string BaseUrl() const;
  std::string Url(const std::string& path) const { return BaseUrl() + path; }
  // BaseUrl() + "/models": the stand-in runner's TIDEWELL_MODEL_SOURCE.
  std::string ModelSource() const { return Url("/models"); }

  // The reported events so far, in order.
  std::vector<LoggedEvent> Events() const;
  std::vector<std::string> EventNames() const;
  // What the program printed (one line per request it served).
  std::string Output() const;
  const std::filesystem::path& folder() const { return folder_; }

  // Asks it to stop, then waits; the exit code, -1 when it was killed or
  // was not running.
  int Stop();

 private:
  std::filesystem::path folder_;
  std::unique_ptr<platform::ChildProcess> child_;
  int port_ = 0;
};
