// tidewell-runner.exe: starts a program registered at login (our runner
// server) hidden, with the user's environment plus the entries it is given,
// and ends. Built for the Windows subsystem, so no console opens for it; the
// program it starts gets a console without a window.
//   tidewell-runner.exe --env NAME=VALUE ... -- C:\path\program.exe ARG ...
// Exit codes: 0 started, 64 arguments refused (nothing started), 1 the
// program could not be started.
#include <windows.h>

#include <platform/os_encoding.h>
#include <platform/program_arguments.h>
#include <platform/win32/login_launcher.h>
#include <platform/win32/process_start.h>

namespace {

constexpr int kStarted = 0;
constexpr int kNotStarted = 1;
constexpr int kRefused = 64;

int Launch() {
  const auto request =
      platform::win32::ParseLauncherArguments(platform::ProgramArguments(0, nullptr));
  if (!request || !platform::win32::IsFileEntry(request->argv[0])) return kRefused;
  platform::win32::StartRequest start;
  start.argv = request->argv;
  for (const std::wstring& entry : request->environment) {
    start.environment.push_back(platform::WideToOsNarrow(entry));
  }
  start.hidden = true;
  // It outlives us, on its own: out of our process group (and job, where
  // allowed), holding none of our handles; its output goes nowhere.
  start.breakaway = true;
  start.nullStandardHandles = true;
  platform::win32::Started started = platform::win32::Start(start);
  if (!started.process.valid()) return kNotStarted;
  if (::ResumeThread(started.thread.get()) == static_cast<DWORD>(-1)) {
    ::TerminateProcess(started.process.get(), 1);
    return kNotStarted;
  }
  return kStarted;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return Launch(); }
