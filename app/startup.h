#pragma once
#include <string>

// The whole life of the program on the main thread, which becomes the window
// thread: single instance, identity, toolkit, data folder and modules, the
// main window, the message loop, shutdown. Returns the exit code.
// packageFile: a package on disk the window opens with chosen (none when
// empty).
int RunApplication(int argc, char** argv, const std::wstring& packageFile = {});
