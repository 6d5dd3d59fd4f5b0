#include <install/package_argument.h>

#include <filesystem>
#include <string_view>

#include <platform/os_encoding.h>

const char kPackageUsage[] = "usage: tidewell [--package FILE.zip]";

PackageArgument FindPackageArgument(int argc, const char* const* argv) {
  PackageArgument found;
  constexpr std::string_view kOption = "--package";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    if (arg == kOption) {
      if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
        found.error = "--package needs a file";
        return found;
      }
      value = argv[++i];
    } else if (arg.substr(0, kOption.size() + 1) == "--package=") {
      value = arg.substr(kOption.size() + 1);
      if (value.empty()) {
        found.error = "--package needs a file";
        return found;
      }
    } else {
      continue;
    }
    if (found.given) {
      found.error = "--package given twice";
      return found;
    }
    found.given = true;
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(value), ec);
    if (ec) path = std::filesystem::path(value);
    found.file = platform::WidePath(path.lexically_normal());
  }
  return found;
}
