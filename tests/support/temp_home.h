#pragma once
// A private home for one test: the folders the program keeps its files in
// (HOME and the XDG folders; on Windows also USERPROFILE, APPDATA and
// LOCALAPPDATA) point into a fresh temporary folder while the object lives,
// so nothing touches the real user's files. On Windows the user's registry
// root is a scratch one too (a UserSandbox): there the key store lives in
// no folder.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

class UserSandbox;

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
  std::unique_ptr<UserSandbox> registry_;  // Windows only
};

// The whole file as text; empty when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);

// The permission bits of the entry itself (links are not followed); -1 when
// it does not exist. Windows has no such bits: there the user's part is
// 0600 for a file and 0700 for a folder the access list grants the user,
// and anyone else granted reading, writing or (folders) passing through
// adds 044, 022, 011; SYSTEM, like root, counts for nothing. So 0600 and
// 0700 mean "the user's alone" on both.
int ModeOf(const std::filesystem::path& path);

// Gives the entry these permission bits; on Windows a protected access list
// of the same meaning (the user, and Everyone for the others' bits), which
// ModeOf reads back as mode.
void SetMode(const std::filesystem::path& path, int mode);

// Bytes the file takes on disk (its own allocation; a link not followed).
std::uint64_t AllocatedBytes(const std::filesystem::path& path);

// Writes a small script that runs with the platform's shell and makes it
// executable: a shell script here, a batch file on Windows (where the path
// gets the .cmd extension). Returns the path written.
std::filesystem::path WriteScript(const std::filesystem::path& path, const std::string& body);
