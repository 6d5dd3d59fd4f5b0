#pragma once
// Other programs' top-level windows, where the window system lets us reach them.
#include <cstdint>
#include <string_view>

namespace platform {

using WindowHandle = std::uintptr_t;  // 0: no window

WindowHandle FindTopLevelWindow(std::wstring_view className, std::wstring_view title);
bool IsWindowHandle(WindowHandle window);
void HideWindow(WindowHandle window);
void MoveWindowTo(WindowHandle window, int x, int y, int width, int height);
// Moves the window to the middle of the primary screen, size unchanged, and
// brings it to the front where the window system allows.
void CenterWindowOnScreen(WindowHandle window);

}  // namespace platform
