#pragma once
// `tidewell --package FILE` (or --package=FILE): the window opens with that
// package chosen, as if picked in its file dialog. Other arguments (the
// toolkit's own) are left alone.
#include <string>
#include <vector>

struct PackageArgument {
  bool given = false;
  // Made absolute against the current folder: the engine never resolves a
  // relative path later against another one.
  std::wstring file;
  // A bad command line (no file after --package, --package twice), for the
  // terminal; empty when fine.
  std::string error;
};

// arguments: the program's own, argv[1] onwards, whole (platform::ProgramArguments:
// on Windows main's argv would have lost a name outside the ANSI code page).
PackageArgument FindPackageArgument(const std::vector<std::wstring>& arguments);

extern const char kPackageUsage[];
