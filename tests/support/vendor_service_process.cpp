#include "vendor_service_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <platform/random_bytes.h>
#include <platform/stop_requests.h>

#include "built_programs.h"
#include "temp_home.h"

namespace fs = std::filesystem;

namespace {

// Paths as the programs we start take them.
std::string Narrow(const fs::path& path) {
  return platform::WideToOsNarrow(platform::WidePath(path));
}

// A new private folder under an unguessable name in the temporary folder.
fs::path MakePrivateFolder() {
  const fs::path temp = fs::temp_directory_path();
  const platform::FileHandle parent(platform::OpenFolder(temp));
  for (int attempt = 0; parent.valid() && attempt < 8; ++attempt) {
    unsigned char random[8];
    if (!platform::RandomBytes(random, sizeof random)) break;
    std::string name = "tidewell-vendor-";
    for (const unsigned char byte : random) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", byte);
      name += hex;
    }
    if (platform::MakeFolderIn(parent.get(), name, 0700) == 0) return temp / name;
  }
  return {};
}

}  // namespace

VendorServiceProcess::VendorServiceProcess(const std::vector<std::string>& extraArgs) {
  folder_ = MakePrivateFolder();
  if (folder_.empty()) return;
  std::vector<std::string> argv = {built::VendorServiceProgram(),
                                   "--port",
                                   "0",
                                   "--port-file",
                                   Narrow(folder_ / "port"),
                                   "--event-log",
                                   Narrow(folder_ / "events.log")};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  platform::StartOptions options;
  options.outputFile = Narrow(folder_ / "output.log");
  child_ = platform::StartProcess(argv, options);
  if (child_ == nullptr) return;

  // The port file appears, whole, once the program listens.
  for (int i = 0; i < 2000 && port_ <= 0; ++i) {
    const std::string text = ReadTextFile(folder_ / "port");
    if (!text.empty()) port_ = std::atoi(text.c_str());
    if (port_ <= 0 && child_->HasExited()) {
      child_.reset();  // it ended without listening
      return;
    }
    if (port_ <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

VendorServiceProcess::~VendorServiceProcess() {
  Stop();
  std::error_code ec;
  if (!folder_.empty()) fs::remove_all(folder_, ec);
}

std::string VendorServiceProcess::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<LoggedEvent> VendorServiceProcess::Events() const {
  std::vector<LoggedEvent> events;
  std::istringstream lines(ReadTextFile(folder_ / "events.log"));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    fields.resize(6);
    events.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
  }
  return events;
}

std::vector<std::string> VendorServiceProcess::EventNames() const {
  std::vector<std::string> names;
  for (const auto& event : Events()) names.push_back(event.event);
  return names;
}

std::string VendorServiceProcess::Output() const { return ReadTextFile(folder_ / "output.log"); }

int VendorServiceProcess::Stop() {
  if (child_ == nullptr) return -1;
  if (!child_->HasExited()) platform::RequestStop(child_->Id());
  const int code = child_->Wait();
  child_.reset();
  return code;
}
