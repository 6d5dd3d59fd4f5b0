#pragma once
// `tidewell --uninstall [--keep-models] [--yes]`: everything the window's
// uninstall takes back, from a terminal or a script. It says what goes and
// asks first unless told yes; an uninstall broken off earlier is finished
// instead.
#include <istream>
#include <ostream>

struct UninstallCommandOptions {
  bool keepModels = false;
  bool assumeYes = false;
};

// Exit codes.
inline constexpr int kUninstallDone = 0;          // nothing of ours is left (or nothing was there)
inline constexpr int kUninstallIncomplete = 1;    // a part could not be removed
inline constexpr int kUninstallNotConfirmed = 2;  // the question was not answered yes
inline constexpr int kUninstallOpen = 3;          // the window is open

int RunUninstallCommand(const UninstallCommandOptions& options, std::istream& in,
                        std::ostream& out);
