#pragma once
// A fresh folder of the test's own below the temporary folder, with a name
// nobody could have guessed; removed with everything in it afterwards.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 8 && root_.empty(); ++attempt) {
      std::ostringstream name;
      name << "tidewell-test-" << std::hex << random() << random();
      const auto candidate = std::filesystem::temp_directory_path() / name.str();
      if (std::filesystem::create_directory(candidate)) root_ = candidate;
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
