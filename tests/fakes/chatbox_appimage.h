#pragma once
// The Linux shape of the Chatbox download: one AppImage file (installed as
// `Chatbox`) whose runtime either extracts the bundled files or mounts them
// and starts the app from there, and the Electron app inside (`chatbox`,
// beside `AppRun` and `chrome-sandbox`), whose sandbox may refuse to start.
#include <string>

namespace fake_chatbox {

// True when the program was started under the AppImage's name: `Chatbox`
// as installed, or the download's own name (ending in .AppImage).
bool IsAppImageName(const std::string& argv0);

// The AppImage runtime. `--appimage-extract [pattern]` writes
// squashfs-root/{AppRun,chatbox,chrome-sandbox} into the current folder,
// naming each path on stderr, and returns 0. Without FUSE
// (TIDEWELL_FAKE_NO_FUSE=1) it says so as the runtime does and returns 1.
// Otherwise it "mounts" the files in a private folder and turns into the app
// through AppRun (exec: the process started stays the app); a helper process
// of the AppImage's name holds the mount until the app ends. Returns only on
// a failure.
int RunAppImage(int argc, char** argv);

// Electron's sandbox: where unprivileged user namespaces are not allowed
// (TIDEWELL_FAKE_NO_USERNS=1) and `--no-sandbox` is not given, the app logs
// Chromium's FATAL line and dies by SIGTRAP.
void EnforceSandbox(int argc, char** argv);

}  // namespace fake_chatbox
