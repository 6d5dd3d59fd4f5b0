// The deployed vendor service and the signals logrotate and systemd send it.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <platform/process.h>
#include <tests/support/built_programs.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// Whether the process's main thread holds SIGHUP back (its SigBlk mask).
bool HoldsHangup(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask & (1ull << (SIGHUP - 1))) != 0;
  }
  return false;
}

// logrotate may ask for a reopen at any moment, also while the package is
// still being checked at start. The package here is a FIFO, so the service
// waits in opening it for as long as the test wants; the reopen request
// comes before that opening ends. It must not end the service: systemd
// counts death by SIGHUP as a clean exit and would not restart it.
TEST(VendorServiceSignals, AReopenRequestDuringStartUpDoesNotEndIt) {
  TempHome home;
  const fs::path package = home.root() / "deepseek.zip";
  ASSERT_EQ(::mkfifo(package.c_str(), 0600), 0);
  const fs::path config = home.root() / "vendor-service.conf";
  std::ofstream(config) << "listen_port = 8080\n"
                        << "public_base_url = https://dl.vendor.example/tw\n"
                        << "package = " << package.string() << "\n"
                        << "package_sha256 = " << std::string(64, '0') << "\n"
                        << "event_log = " << (home.root() / "events.log").string() << "\n";
  platform::StartOptions options;
  options.outputFile = (home.root() / "output.log").string();
  auto child = platform::StartProcess(
      {built::VendorServiceProgram(), "--config", config.string(), "--port", "0"}, options);
  ASSERT_NE(child, nullptr);

  // From the moment it holds SIGHUP back, a request waits for it.
  bool held = false;
  for (int i = 0; i < 1000 && !held && !child->HasExited(); ++i) {
    held = HoldsHangup(child->Id());
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(held) << "SIGHUP is not held back while the package is opened";
  ::kill(static_cast<pid_t>(child->Id()), SIGHUP);
  // Let the opening finish: a FIFO is no package, and it says so. Holding
  // the signal comes first in the service, so it may not be opening yet:
  // until its reader is there, a writer that does not wait gets ENXIO.
  int writer = -1;
  for (int i = 0; i < 1000 && writer < 0 && !child->HasExited(); ++i) {
    writer = ::open(package.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer < 0 && errno != ENXIO) break;
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GE(writer, 0) << "the service no longer waits for its package";
  ::close(writer);
  EXPECT_EQ(child->Wait(), 78);
  const std::string output = ReadTextFile(options.outputFile);
  EXPECT_NE(output.find("not a regular file"), std::string::npos) << output;
}

}  // namespace
