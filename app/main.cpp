#include <config/app_constants.h>
#include <install/install_engine.h>
#include <install/status_command.h>
#include <install/uninstall_command.h>
#include <install/update_command.h>
#include <platform/process_exit.h>
#include <platform/program_arguments.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "command_line_table.h"
#include "startup.h"

namespace {

// --help and --version answer at once: nothing is read or written, no
// display is needed (a package check runs them where there is none).
bool AnswerInformationOption(int argc, char** argv) {
  if (argc != 2) return false;
  std::string text;
  if (std::strcmp(argv[1], "--help") == 0) {
    text = HelpText();
  } else if (std::strcmp(argv[1], "--version") == 0) {
    text = VersionText();
  } else {
    return false;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerInformationOption(argc, argv)) platform::ExitProcessNow(0);
  // Complete before anything else runs: every later step, on any thread,
  // reads the constants freely.
  (void)GetAppConstants();
  // For a terminal or a script: what is installed, then the exit code says
  // how much (no window, nothing started).
  if (argc == 2 && std::strcmp(argv[1], "--status") == 0) {
    std::string text;
    const int code = InstalledStatusText(text);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    platform::ExitProcessNow(code);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--uninstall") == 0) {
    UninstallCommandOptions options;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--keep-models") == 0) {
        options.keepModels = true;
      } else if (std::strcmp(argv[i], "--yes") == 0) {
        options.assumeYes = true;
      } else {
        std::fprintf(stderr, "usage: tidewell --uninstall [--keep-models] [--yes]\n");
        platform::ExitProcessNow(64);
      }
    }
    const int code = RunUninstallCommand(options, std::cin, std::cout);
    std::cout.flush();
    platform::ExitProcessNow(code);
  }
  if (argc == 2 && std::strcmp(argv[1], "--update") == 0) {
    const int code = RunUpdateCommand(std::cin, std::cout);
    std::cout.flush();
    platform::ExitProcessNow(code);
  }
  // A package on disk to install from: a command line without its file is
  // refused before any window opens.
  const PackageArgument package = FindPackageArgument(platform::ProgramArguments(argc, argv));
  if (!package.error.empty()) {
    std::fprintf(stderr, "tidewell: %s\n%s\n", package.error.c_str(), kPackageUsage);
    platform::ExitProcessNow(64);
  }
  // The settings are saved and the toolkit is gone; workers may still be
  // busy with the process-wide objects, so none of them is destroyed.
  platform::ExitProcessNow(RunApplication(argc, argv, package.file));
}
