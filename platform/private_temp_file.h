#pragma once
// New files under names nobody can guess or take first.
#include <filesystem>
#include <string_view>

#include <platform/file_handle.h>

namespace platform {

// Creates folder/<prefix><random><suffix> exclusively (a planted file or
// link is never opened), private to the user, open to read and write;
// *path gets its name. kNoFile on failure.
NativeFile CreatePrivateTempFile(const std::filesystem::path& folder, std::string_view prefix,
                                 std::string_view suffix, std::filesystem::path* path);

}  // namespace platform
