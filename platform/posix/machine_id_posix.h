#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace platform::posix {

// The first non-empty first line among the candidate files.
std::string ReadMachineIdFrom(const std::vector<std::filesystem::path>& candidates);

}  // namespace platform::posix
