#include "package_links.h"

namespace fs = std::filesystem;

bool PlantFolderLink(const fs::path& link, const fs::path& target) {
  std::error_code ec;
  fs::create_directory_symlink(target, link, ec);
  return !ec;
}

bool PlantFileLink(const fs::path& link, const fs::path& target) {
  std::error_code ec;
  fs::create_symlink(target, link, ec);
  return !ec;
}

bool IsLink(const fs::path& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(path, ec));
}
