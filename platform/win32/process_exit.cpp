#include <platform/process_exit.h>

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace platform {

void ExitProcessNow(int exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  // Not ExitProcess: that would still run DLL detach code while workers
  // hold locks; ending at once is the point.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
  for (;;) ::Sleep(INFINITE);  // not reached: termination is not cancelled
}

}  // namespace platform
