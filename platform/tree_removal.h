#pragma once
// Taking back a folder we made, with everything in it, without ever going
// through a link: a link found inside (planted there or made by a program)
// is removed itself, never what it points at.
#include <filesystem>
#include <string>

namespace platform {

// Removes path and, when it is a folder, everything below it. True when
// nothing of it is left, also when there was nothing.
bool RemoveTree(const std::filesystem::path& path);

// The same for name inside the folder open as folderFd (a POSIX descriptor;
// on Windows a C runtime descriptor wrapping the folder's handle, and name
// in UTF-8), for callers that reach their folders by handle.
bool RemoveTreeIn(int folderFd, const std::string& name);

// Removes path when it is an empty folder (not a link to one). True when it
// is gone afterwards, also when there was nothing.
bool RemoveEmptyFolder(const std::filesystem::path& path);

}  // namespace platform
