#pragma once
// Folders the program keeps its files in, read from the environment on every
// call so that tests can point them at temporary folders.
#include <string>

namespace platform {

std::wstring RoamingAppDataFolder();  // settings that follow the user
std::wstring LocalAppDataFolder();    // bulky per-machine data
std::wstring TempFolder();
std::wstring HomeFolder();
std::wstring RuntimeFolder();  // per-session sockets and locks

}  // namespace platform
