#pragma once
// What the vendor's package does around the app's own start: on Linux the
// AppImage runtime and Electron's sandbox check (chatbox_appimage.h); on
// Windows nothing, where the vendor's setup installs Chatbox.exe itself.
#include <optional>

namespace fake_chatbox {

// The exit code when the start was the package's own (the app did not run).
std::optional<int> RunPackageStart(int argc, char** argv);

// Ends the process as the app would when its sandbox cannot start.
void CheckSandbox(int argc, char** argv);

}  // namespace fake_chatbox
