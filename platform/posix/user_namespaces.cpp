#include <platform/user_namespaces.h>

#include <fstream>
#include <string_view>

namespace platform {
namespace {

// The first word of a one-value sysctl file; empty when there is none.
std::string SwitchValue(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string value;
  in >> value;
  return value;
}

}  // namespace

std::string UserNamespaceRestrictionIn(const std::filesystem::path& sysctlFolder) {
  struct Switch {
    std::string_view file;
    std::string_view refusing;  // the value that refuses them
  };
  // Debian's switch, the general limit, and AppArmor's restriction (Ubuntu
  // 23.10 and later).
  static constexpr Switch kSwitches[] = {
      {"kernel/unprivileged_userns_clone", "0"},
      {"user/max_user_namespaces", "0"},
      {"kernel/apparmor_restrict_unprivileged_userns", "1"},
  };
  for (const Switch& s : kSwitches) {
    if (SwitchValue(sysctlFolder / s.file) == s.refusing) {
      return std::string(s.file) + " is " + std::string(s.refusing);
    }
  }
  return {};
}

std::string UserNamespaceRestriction() { return UserNamespaceRestrictionIn("/proc/sys"); }

}  // namespace platform
