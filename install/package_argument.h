#pragma once
// `tidewell --package FILE` (or --package=FILE): the window opens with that
// package chosen, as if picked in its file dialog. Other arguments (the
// toolkit's own) are left alone.
#include <string>

struct PackageArgument {
  bool given = false;
  // Made absolute against the current folder: the engine never resolves a
  // relative path later against another one.
  std::wstring file;
  // A bad command line (no file after --package, --package twice), for the
  // terminal; empty when fine.
  std::string error;
};

PackageArgument FindPackageArgument(int argc, const char* const* argv);

extern const char kPackageUsage[];
