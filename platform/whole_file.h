#pragma once
#include <filesystem>
#include <string>

namespace platform {

// Reads a whole regular file: its size first, then exactly that many bytes.
// A folder, an unreadable file, or a read that yields fewer bytes than the
// size (the file shrank, or reports a size it does not have) is a failure,
// and the buffer is left empty.
bool ReadWholeFileExact(const std::filesystem::path& path, std::string& bytes);

}  // namespace platform
