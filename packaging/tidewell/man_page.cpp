// Writes the manual page tidewell(1), made from the command-line table:
//   tidewell_man_page DATE OUTPUT
#include <cstdio>
#include <fstream>
#include <string>

#include <app/command_line_table.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s YYYY-MM-DD OUTPUT\n", argv[0]);
    return 64;
  }
  const std::string page = ManPageText(argv[1]);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
