#pragma once

// The whole life of the program on the main thread, which becomes the window
// thread: single instance, identity, toolkit, data folder and modules, the
// main window, the message loop, shutdown. Returns the exit code.
int RunApplication(int argc, char** argv);
