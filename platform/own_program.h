#pragma once
// The running program's own file, for programs that carry data appended to
// themselves (our setup program and its payload).
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Maps the program's own file read-only; the mapping lives until the
// process ends. False with the reason when the file cannot be read.
bool MapOwnProgramFile(const std::uint8_t** data, std::size_t* size, std::string* reason);

}  // namespace platform
