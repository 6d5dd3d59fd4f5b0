#include <platform/top_level_window.h>

#include <windows.h>

#include <string>

namespace platform {
namespace {

HWND AsWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// An empty class or title matches any, as FindWindowW takes a null for it.
const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

WindowHandle FindTopLevelWindow(std::wstring_view className, std::wstring_view title) {
  const std::wstring classText(className);
  const std::wstring titleText(title);
  return reinterpret_cast<WindowHandle>(::FindWindowW(OrNull(classText), OrNull(titleText)));
}

bool IsWindowHandle(WindowHandle window) { return window != 0 && ::IsWindow(AsWindow(window)); }

void HideWindow(WindowHandle window) {
  if (window != 0) ::ShowWindow(AsWindow(window), SW_HIDE);
}

void MoveWindowTo(WindowHandle window, int x, int y, int width, int height) {
  if (window != 0) ::MoveWindow(AsWindow(window), x, y, width, height, TRUE);
}

void CenterWindowOnScreen(WindowHandle window) {
  RECT frame{};
  if (window == 0 || !::GetWindowRect(AsWindow(window), &frame)) return;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  ::MoveWindow(AsWindow(window), (screenWidth - width) / 2, (screenHeight - height) / 2, width,
               height, TRUE);
  // Shown, and in front: the user asked for it by starting us again.
  ::ShowWindow(AsWindow(window), SW_SHOW);
  ::SetForegroundWindow(AsWindow(window));
}

}  // namespace platform
