// Other programs' windows cannot be reached portably on X11/Wayland; every
// request is a no-op and no window is ever found.
#include <platform/top_level_window.h>

namespace platform {

WindowHandle FindTopLevelWindow(std::wstring_view, std::wstring_view) { return 0; }
bool IsWindowHandle(WindowHandle window) { return window != 0; }
void HideWindow(WindowHandle) {}
void MoveWindowTo(WindowHandle, int, int, int, int) {}
void CenterWindowOnScreen(WindowHandle) {}

}  // namespace platform
