#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The first running process of this user whose executable name is name
// (suffix included), also when its file has since been replaced or removed.
std::optional<long> FindProcessByName(const std::string& name);
// The running processes of this user whose program file lies inside folder
// (at any depth; links in both resolved), also when the file has since been
// replaced or removed. A name alone never decides: another program of the
// same name elsewhere is never listed.
std::vector<long> FindProcessesInFolder(const std::filesystem::path& folder);
// Asks the process to end (SIGTERM).
bool TerminateProcessById(long id);
// Ends the process at once (SIGKILL).
bool KillProcessById(long id);

}  // namespace platform
