#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform::posix {

// The first process below a procfs folder that belongs to uid and runs the
// program with that file name.
std::optional<long> FindProcessIn(const std::filesystem::path& proc, uid_t uid,
                                  const std::string& name);

}  // namespace platform::posix
