#pragma once
// Files the program writes are private to the user and never half-written.
#include <filesystem>
#include <string_view>

namespace platform {

// Replaces the file's content as one step: the bytes go to a new private
// (0600) file in the same folder, reach the disk, and that file is renamed
// over the old one. A reader sees the old or the new content, never a mix,
// and a crash or a full disk leaves the old file. Returns 0 or an errno.
int WriteFileAtomically(const std::filesystem::path& path, std::string_view data);

// Creates the folder and its missing parents; every folder it creates is
// private (0700). Returns 0 or an errno.
int CreatePrivateFolders(const std::filesystem::path& folder);

// CreatePrivateFolders, and the folder itself (which the program owns) is
// made private too when it already existed with wider rights.
int CreateOwnPrivateFolder(const std::filesystem::path& folder);

}  // namespace platform
