#pragma once
// Installs a payload archive into a folder as one step: the folder holds the
// whole new install or, after any failure, exactly what it held before.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace setup {

// Unpacks the zip archive in memory into a fresh private folder beside
// target (same file system), then swaps it in by rename; an older install
// (or the empty folder the caller made) is removed afterwards. On failure
// the unpacked folder is removed and target is left untouched. The parent of
// target is created when missing. Regular files keep their Unix modes; a
// link entry becomes a link only under the rule in payload_links.h, any
// other link entry fails the install.
bool InstallPayload(const std::uint8_t* zip, std::size_t size, const std::filesystem::path& target,
                    std::string* reason);

}  // namespace setup
