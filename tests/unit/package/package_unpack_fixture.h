#pragma once
// The unpack tests' fixture, shared by the cases every system runs and those
// that need POSIX calls.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <package/package_unpack.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

#include "package_links.h"

namespace package_unpack_test {


namespace fs = std::filesystem;

inline void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Everything below root as path -> content ("/" for a folder, "-> target"
// for a link), links never followed.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::end(it); it.increment(ec)) {
    const std::string name = fs::relative(it->path(), root).generic_string();
    if (IsLink(it->path())) {
      std::error_code linkEc;
      tree[name] = "-> " + fs::read_symlink(it->path(), linkEc).string();
      it.disable_recursion_pending();
    } else if (it->is_directory()) {
      tree[name] = "/";
    } else {
      const std::string content = ReadTextFile(it->path());
      tree[name] = content.size() <= 64 ? content
                                        : std::to_string(content.size()) + " bytes, hash " +
                                              std::to_string(std::hash<std::string>{}(content));
    }
  }
  return tree;
}

inline std::vector<ZipBuildEntry> GoodEntries() {
  return {DirectoryEntry("deepseek/"), FileEntry("deepseek/OllamaSetup", "runner setup"),
          FileEntry("deepseek/Chatbox-1.9.8-Setup", Noise(200000, 3)), FileEntry("readme", "")};
}

inline std::uint64_t SizeOf(const std::vector<ZipBuildEntry>& entries) {
  std::uint64_t size = 0;
  for (const auto& entry : entries) size += entry.data.size();
  return size;
}

// Noise deflates to stored blocks: a piece from the middle of the entry's
// data is found as it is, away from any header.
inline std::string WithDataByteFlipped(std::string archive, const std::string& data) {
  const std::size_t at = archive.find(data.substr(data.size() / 2, 64));
  if (at != std::string::npos) archive[at + 32] ^= 0x5A;
  return archive;
}

inline std::uint64_t g_probeFree = 0;
inline std::optional<std::uint64_t> ProbeFree(const std::wstring&) { return g_probeFree; }

class PackageUnpackTest : public ::testing::Test {
 protected:
  ~PackageUnpackTest() override { SetUnpackFreeSpaceProbe(nullptr); }
  fs::path base() const { return home_.root() / fs::path(u8"安装 目录"); }
  fs::path archive() const { return home_.root() / "archives" / "deepseek.zip"; }
  // An older unpack of the package, already in place.
  void PlantOlderUnpack() {
    Write(base() / "deepseek" / "deepseek" / "OllamaSetup", "older runner setup");
    Write(base() / "deepseek" / "stale", "from an older package");
    Write(base() / "beside", "not ours");
  }
  UnpackResult Unpack(const std::atomic<bool>* cancel = nullptr) {
    return UnpackPackageInto(platform::WidePath(archive()), platform::WidePath(base()), cancel);
  }
  TempHome home_;
};

}  // namespace package_unpack_test
