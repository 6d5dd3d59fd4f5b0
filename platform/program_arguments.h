#pragma once
// A program's own arguments, whole. On Windows main's argv holds them in
// the ANSI code page, which loses what it cannot show (a folder name in
// another script): there they come from the command line itself.
#include <string>
#include <vector>

namespace platform {

// argv[1] onwards, decoded (UTF-8 here).
std::vector<std::wstring> ProgramArguments(int argc, char** argv);

}  // namespace platform
