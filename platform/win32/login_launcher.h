#pragma once
// Our launcher for programs started at login (tidewell-runner.exe, built for
// the Windows subsystem, so no console opens for it). The Run key holds one
// command line and no environment; the launcher takes both on its own:
//   tidewell-runner.exe --env NAME=VALUE ... -- C:\path\program.exe ARG ...
// and starts the program hidden with the user's environment plus those
// entries. The registration and the launcher read the form with the same
// checks, so nothing is registered that the launcher would refuse.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

inline constexpr wchar_t kLoginLauncherName[] = L"tidewell-runner.exe";

// The launcher's path: it ships beside our own program.
std::wstring LoginLauncherPath();

struct LaunchRequest {
  std::vector<std::wstring> environment;  // NAME=VALUE
  std::vector<std::wstring> argv;         // argv[0] an absolute path to a .exe
};

// True for an existing entry at the path that is not a folder: the launcher
// itself, or the program it is to start.
bool IsFileEntry(const std::wstring& path);

// The launcher's arguments (after its own name) for the request.
std::vector<std::wstring> LauncherArguments(const LaunchRequest& request);

// The request the arguments stand for; nullopt when they break the form, an
// entry's name is not [A-Z_][A-Z0-9_]*, any text holds a control character
// (a line break among them), or the program is not an absolute path to a
// .exe. Whether the program exists is the launcher's own check.
std::optional<LaunchRequest> ParseLauncherArguments(const std::vector<std::wstring>& arguments);

}  // namespace platform::win32
