#pragma once
// A file written in place at chosen offsets and kept across runs, such as a
// download that resumes where it stopped.
#include <filesystem>

#include <platform/file_handle.h>

namespace platform {

// Opens path to read and write at any offset, keeping what it holds; made
// private (0600) when missing. A link at the name, or a folder, is refused.
// kNoFile on failure (errno says why).
NativeFile OpenPrivateFileToUpdate(const std::filesystem::path& path);

}  // namespace platform
