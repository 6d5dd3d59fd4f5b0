#pragma once
// Folders the program keeps its files in, read from the environment on every
// call so that tests can point them at temporary folders. The variables are
// the system's own: XDG_CONFIG_HOME, XDG_DATA_HOME, HOME, TMPDIR and
// XDG_RUNTIME_DIR on POSIX; APPDATA, LOCALAPPDATA, USERPROFILE and TMP/TEMP
// on Windows, where a value that is not an absolute path is ignored and the
// shell is asked (the runtime folder is Temp below local app data there).
#include <string>

namespace platform {

std::wstring RoamingAppDataFolder();  // settings that follow the user
std::wstring LocalAppDataFolder();    // bulky per-machine data
std::wstring TempFolder();
std::wstring HomeFolder();
std::wstring RuntimeFolder();  // per-session sockets and locks
// Where a program's own folder goes unless the user chooses: the home folder
// here; the system drive's root on Windows ("C:\\", from SystemDrive), where
// such a folder keeps its path short and free of the user's name.
std::wstring DefaultProgramParent();

}  // namespace platform
