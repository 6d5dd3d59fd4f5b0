// Stands in for the client's AppImage where only its unpacking matters. A
// real AppImage given --appimage-extract writes its whole tree into
// "squashfs-root" in the working folder (links kept as links, AppRun
// executable), prints one "squashfs-root/..." line per entry and exits 0;
// without FUSE anything else fails. The test marks a copy of this program
// "AI\x02" at offset 8, as the AppImage runtime is marked.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--appimage-extract") != 0) {
    std::fprintf(stderr, "dlopen(): error loading libfuse.so.2\n");
    return 127;
  }
  const std::string root = "squashfs-root";
  if (::mkdir(root.c_str(), 0755) != 0) return 1;
  std::ofstream(root + "/AppRun") << "#!/bin/sh\nexec \"$(dirname \"$0\")/chatbox\" \"$@\"\n";
  ::chmod((root + "/AppRun").c_str(), 0755);
  std::ofstream(root + "/chatbox") << "#!/bin/sh\nexit 0\n";
  ::chmod((root + "/chatbox").c_str(), 0755);
  if (::symlink("chatbox", (root + "/.DirIcon").c_str()) != 0) return 1;
  for (const char* name : {"AppRun", "chatbox", ".DirIcon"}) {
    std::printf("%s/%s\n", root.c_str(), name);
  }
  return 0;
}
