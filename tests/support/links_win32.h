#pragma once
// Links for Windows tests: symbolic links (which may need developer mode or
// a privilege) and directory junctions (which any user may make). False
// when the system refuses; tests then skip what needs them.
#include <filesystem>

bool MakeSymlink(const std::filesystem::path& link, const std::filesystem::path& target,
                 bool folder);
bool MakeJunction(const std::filesystem::path& link, const std::filesystem::path& target);

// True when the entry itself is a link (a reparse point), whatever it
// points at.
bool IsLinkItself(const std::filesystem::path& path);
