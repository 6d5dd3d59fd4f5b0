#include <platform/shell_open.h>

#include <filesystem>

#include <platform/process.h>

namespace platform {

bool ShellOpen(const std::string& target) {
  if (target.empty()) return false;
  // The opener runs on its own; nobody waits for the document to be closed.
  StartOptions options;
  options.detached = true;
  return StartProcess({"xdg-open", target}, options) != nullptr;
}

bool ShellOpenInFileManager(const std::string& path) { return ShellOpen(path); }

}  // namespace platform
