#include "package_links.h"

#include <tests/support/links_win32.h>

namespace fs = std::filesystem;

bool PlantFolderLink(const fs::path& link, const fs::path& target) {
  return MakeSymlink(link, target, true) || MakeJunction(link, target);
}

bool PlantFileLink(const fs::path& link, const fs::path& target) {
  return MakeSymlink(link, target, false);
}

bool IsLink(const fs::path& path) { return IsLinkItself(path); }
