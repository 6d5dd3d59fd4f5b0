#include <install/package_argument.h>

#include <filesystem>
#include <string_view>

#include <platform/os_encoding.h>

const char kPackageUsage[] = "usage: tidewell [--package FILE.zip]";

PackageArgument FindPackageArgument(const std::vector<std::wstring>& arguments) {
  PackageArgument found;
  constexpr std::wstring_view kOption = L"--package";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring_view arg = arguments[i];
    std::wstring_view value;
    if (arg == kOption) {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        found.error = "--package needs a file";
        return found;
      }
      value = arguments[++i];
    } else if (arg.substr(0, kOption.size() + 1) == L"--package=") {
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
    const std::filesystem::path given = platform::OsPath(value);
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(given, ec);
    if (ec) path = given;
    found.file = platform::WidePath(path.lexically_normal());
  }
  return found;
}
