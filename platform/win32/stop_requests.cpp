#include <platform/stop_requests.h>

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::wstring StopEventName(DWORD processId) {
  return L"Local\\TidewellStop-" + std::to_wstring(processId);
}

// Manual reset: once asked, the program stays asked. Named, so that who
// started us can ask too.
HANDLE StopEvent() {
  static const HANDLE event =
      CreateEventW(nullptr, TRUE, FALSE, StopEventName(GetCurrentProcessId()).c_str());
  return event;
}

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(StopEvent());
  // The console's close ends the process when this returns; Ctrl+C and
  // Ctrl+Break are handled here and do not.
  return TRUE;
}

}  // namespace

void TakeStopRequests() {
  StopEvent();
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopRequest() { WaitForSingleObject(StopEvent(), INFINITE); }

void ReleaseStopWaiter() { SetEvent(StopEvent()); }

bool RequestStop(long processId) {
  if (processId <= 0) return false;
  const HANDLE event =
      OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName(static_cast<DWORD>(processId)).c_str());
  if (event == nullptr) return false;
  const bool set = SetEvent(event) != FALSE;
  CloseHandle(event);
  return set;
}

}  // namespace platform
