#include <config/app_constants.h>
#include <install/install_engine.h>
#include <platform/process_exit.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "startup.h"

namespace {
// Complete before main runs: every later step reads the constants freely.
const AppConstants& g_constants = GetAppConstants();
}  // namespace

int main(int argc, char** argv) {
  (void)g_constants;
  // For a terminal or a script: what is installed, then the exit code says
  // how much (no window, nothing started).
  if (argc == 2 && std::strcmp(argv[1], "--status") == 0) {
    std::string text;
    const int code = CInstallEngine::InstalledStatusText(text);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    platform::ExitProcessNow(code);
  }
  // The settings are saved and the toolkit is gone; workers may still be
  // busy with the process-wide objects, so none of them is destroyed.
  platform::ExitProcessNow(RunApplication(argc, argv));
}
