#include <platform/process_exit.h>

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace platform {

void ExitProcessNow(int exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  ::_exit(exitCode);
}

}  // namespace platform
