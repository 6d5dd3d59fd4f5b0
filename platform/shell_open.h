#pragma once
#include <string>

namespace platform {

// Opens a URL or a document with the user's preferred program; true when the
// opener started.
bool ShellOpen(const std::string& target);
// Shows a file or folder in the file manager.
bool ShellOpenInFileManager(const std::string& path);

}  // namespace platform
