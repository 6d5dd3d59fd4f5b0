#include "temp_home.h"

#include "user_sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

TempHome::TempHome() {
  std::string pattern = (fs::temp_directory_path() / "tidewell-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  const std::map<std::string, fs::path> vars = {
      {"HOME", root_ / "home"},
      {"XDG_CONFIG_HOME", root_ / "config"},
      {"XDG_DATA_HOME", root_ / "data"},
      {"XDG_RUNTIME_DIR", root_ / "run"},
  };
  for (const auto& [name, path] : vars) {
    const char* old = ::getenv(name.c_str());
    saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    fs::create_directories(path);
    ::setenv(name.c_str(), path.c_str(), 1);
  }
}

TempHome::~TempHome() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  std::error_code ec;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
}

fs::path WriteScript(const fs::path& path, const std::string& body) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  return path;
}

int ModeOf(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
}

void SetMode(const fs::path& path, int mode) {
  EXPECT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0) << path;
}

std::uint64_t AllocatedBytes(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return static_cast<std::uint64_t>(info.st_blocks) * 512;
}
