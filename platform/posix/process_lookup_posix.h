#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

// The first process below a procfs folder that belongs to uid and runs the
// program with that file name.
std::optional<long> FindProcessIn(const std::filesystem::path& proc, uid_t uid,
                                  const std::string& name);
// The processes below a procfs folder that belong to uid and run a program
// whose file lies inside folder (already resolved).
std::vector<long> FindProcessesInFolderIn(const std::filesystem::path& proc, uid_t uid,
                                          const std::filesystem::path& folder);

}  // namespace platform::posix
