// Downloads a URL with the program's own downloader, for timing beside curl:
// download <url> <destination>
#include <cstdio>

#include <package/file_downloader.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <url> <destination>\n", argv[0]);
    return 2;
  }
  int code = 0;
  CFileDownloader downloader;
  if (!downloader.Download(argv[1], argv[2], code)) {
    std::fprintf(stderr, "download failed: %d\n", code);
    return 1;
  }
  return 0;
}
