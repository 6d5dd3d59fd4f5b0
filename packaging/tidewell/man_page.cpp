// Writes the manual page tidewell(1), made from the command-line table:
//   tidewell_man_page DATE OUTPUT
#include <cstdio>
#include <cstring>
#include <string>

#include <app/command_line_table.h>
#include <platform/atomic_file.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s YYYY-MM-DD OUTPUT\n", argv[0]);
    return 64;
  }
  // In one step: a build broken off mid-write leaves no half page that
  // looks up to date to the next one.
  if (const int error = platform::WriteFileAtomically(argv[2], ManPageText(argv[1])); error != 0) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[2], std::strerror(error));
    return 1;
  }
  return 0;
}
