// libFuzzer target for the zip reader over a memory block: nothing may crash,
// and no entry, however crafted, may be written outside the root folder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <package/zip_reader.h>
#include <platform/os_encoding.h>

namespace fs = std::filesystem;

namespace {

// <sandbox>/guard/root: after every input, sandbox and guard hold nothing
// but the way down to root.
struct Sandbox {
  Sandbox() {
    base = fs::temp_directory_path() / ("tidewell-zip-fuzz-" + std::to_string(::getpid()));
    root = base / "guard" / "root";
    fs::create_directories(root);
  }
  ~Sandbox() {
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  void CheckAndClean() const {
    for (const auto& [folder, only] :
         {std::pair{base, "guard"}, std::pair{base / "guard", "root"}}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != only) {
          std::fprintf(stderr, "written outside the root: %s\n", entry.path().c_str());
          std::abort();
        }
      }
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
      fs::remove_all(entry.path(), ec);
    }
  }
  fs::path base;
  fs::path root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Sandbox sandbox;
  for (const char* password : {static_cast<const char*>(nullptr), "markOakGrove"}) {
    HZIP zip = ZipOpenMemory(data, size, password, platform::WidePath(sandbox.root));
    if (zip == nullptr) continue;
    ZipEntry entry;
    ZipItemInfo(zip, -1, &entry);
    const int count = std::min(entry.index, 64);
    std::vector<char> piece(4096);
    for (int i = 0; i < count; ++i) {
      if (ZipItemInfo(zip, i, &entry) != ZR_OK) continue;
      ZipExtractItemToFile(zip, i, entry.name);
      int guard = 0;
      while (ZipExtractItem(zip, i, piece.data(), static_cast<std::uint32_t>(piece.size()),
                            ZIP_MEMORY) == ZR_MORE &&
             ++guard < 64) {
      }
    }
    ZipClose(zip);
  }
  sandbox.CheckAndClean();
  return 0;
}
