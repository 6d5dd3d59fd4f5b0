#pragma once
// Links the package tests plant in an extraction tree, made the way this
// system allows: a symbolic link here; on Windows a symbolic link when the
// user may make one, else (for a folder) a junction. False when the system
// makes neither: the test then skips what needs it.
#include <filesystem>

bool PlantFolderLink(const std::filesystem::path& link, const std::filesystem::path& target);
bool PlantFileLink(const std::filesystem::path& link, const std::filesystem::path& target);

// True when the entry itself is a link, whatever it points at.
bool IsLink(const std::filesystem::path& path);
