#pragma once
// A private home for one test: HOME, the XDG folders and TMPDIR point into a
// fresh temporary folder while the object lives, so nothing touches the real
// user's files or key store.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path config() const { return root_ / "config"; }
  std::filesystem::path data() const { return root_ / "data"; }

 private:
  std::filesystem::path root_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// The whole file as text; empty when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);

// The permission bits of the entry itself (links are not followed); -1 when
// it does not exist.
int ModeOf(const std::filesystem::path& path);

// Writes a small shell script and makes it executable.
std::filesystem::path WriteScript(const std::filesystem::path& path, const std::string& body);
