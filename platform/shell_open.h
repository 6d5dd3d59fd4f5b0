#pragma once
#include <string>

namespace platform {

// Opens an http or https URL, or an absolute local path, with the user's
// preferred program; true when the opener started. Any other target (another
// scheme, a relative path, control characters) is refused.
bool ShellOpen(const std::string& target);
// Shows a file or folder in the file manager.
bool ShellOpenInFileManager(const std::string& path);

}  // namespace platform
