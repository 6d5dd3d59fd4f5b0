#pragma once
// CreateProcessW as every start here needs it: suspended, the command line
// quoted from the argument vector, only the chosen handles inherited.
#include <windows.h>

#include <string>
#include <vector>

#include "handle.h"

namespace platform::win32 {

struct StartRequest {
  std::vector<std::wstring> argv;        // argv[0]: a path, or a name searched on PATH
  std::vector<std::string> environment;  // NAME=VALUE on top of ours
  std::wstring workingDirectory;         // empty: ours
  bool hidden = false;                   // no window: SW_HIDE, and no console of its own
  bool breakaway = false;                // out of the job we are in, when it lets us
  // Its standard handles are the NUL device where not given below, never
  // ours: a program that outlives us keeps nothing of our caller's open.
  // (Without handles of its own a console program may be handed ours: Wine
  // does so.)
  bool nullStandardHandles = false;
  // Where its standard output and error go; null: ours.
  HANDLE output = nullptr;
  HANDLE errors = nullptr;
};

struct Started {
  Handle process;  // invalid when it could not be started
  Handle thread;   // suspended: the caller resumes it
  DWORD id = 0;
};

Started Start(const StartRequest& request);

// A file opened for appending, created readable by its owner only, with a
// handle a child may inherit. Invalid on failure.
Handle OpenPrivateAppend(const std::wstring& path);

}  // namespace platform::win32
