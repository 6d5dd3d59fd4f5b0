#include <platform/os_info.h>

namespace platform {

std::string OsNameForWindowsVersion(unsigned major, unsigned minor) {
  struct Row {
    unsigned major, minor;
    const char* name;
  };
  static constexpr Row kTable[] = {
      {5, 0, "Windows2000"},  {5, 1, "WindowsXP"}, {5, 2, "Windows2003"},
      {6, 0, "windowsvista"}, {6, 1, "windows7"},  {6, 2, "windows10"},
  };
  for (const Row& row : kTable) {
    if (row.major == major && row.minor == minor) return row.name;
  }
  return "windows10";
}

}  // namespace platform
