#pragma once
#include <optional>
#include <string>

namespace platform {

// The first running process whose executable name is name (suffix included).
std::optional<long> FindProcessByName(const std::string& name);
bool TerminateProcessById(long id);

}  // namespace platform
