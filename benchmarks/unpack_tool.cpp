// Unpacks an archive with the program's own reader, for timing beside other
// tools: unpack <archive> <target folder> [password] [threads]
#include <cstdio>
#include <cstdlib>
#include <string>

#include <package/package_extract.h>
#include <platform/os_encoding.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <archive> <target folder> [password] [threads]\n", argv[0]);
    return 2;
  }
  const char* password = argc > 3 && argv[3][0] != '\0' ? argv[3] : nullptr;
  const unsigned threads = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 0;
  ExtractArchive(platform::OsNarrowToWide(argv[1]), platform::OsNarrowToWide(argv[2]), password,
                 threads);
  return 0;
}
