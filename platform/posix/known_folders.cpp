#include <platform/known_folders.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include <platform/utf.h>

namespace platform {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// XDG folders must be absolute; a relative value is ignored, as the XDG
// base-directory rules ask.
std::string XdgOr(const char* name, const char* fallbackBelowHome) {
  const std::string value = Env(name);
  if (!value.empty() && value.front() == '/') return value;
  return WideToUtf8(HomeFolder()) + fallbackBelowHome;
}

}  // namespace

std::wstring HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
      home = entry->pw_dir;
    }
  }
  return Utf8ToWide(home);
}

std::wstring RoamingAppDataFolder() { return Utf8ToWide(XdgOr("XDG_CONFIG_HOME", "/.config")); }

std::wstring LocalAppDataFolder() { return Utf8ToWide(XdgOr("XDG_DATA_HOME", "/.local/share")); }

std::wstring TempFolder() {
  const std::string value = Env("TMPDIR");
  return Utf8ToWide(value.empty() ? "/tmp" : value);
}

std::wstring RuntimeFolder() {
  const std::string value = Env("XDG_RUNTIME_DIR");
  return value.empty() || value.front() != '/' ? TempFolder() : Utf8ToWide(value);
}

std::wstring DefaultProgramParent() { return HomeFolder(); }

}  // namespace platform
