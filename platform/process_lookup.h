#pragma once
#include <optional>
#include <string>

namespace platform {

// The first running process of this user whose executable name is name
// (suffix included), also when its file has since been replaced or removed.
std::optional<long> FindProcessByName(const std::string& name);
bool TerminateProcessById(long id);

}  // namespace platform
