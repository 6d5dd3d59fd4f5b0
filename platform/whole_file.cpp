#include <platform/whole_file.h>

#include <fstream>

namespace platform {

bool ReadWholeFileExact(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;  // opens here, but is no file
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (!in || size < 0) return false;
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::exception&) {
    return false;
  }
  in.seekg(0, std::ios::beg);
  in.read(bytes.data(), size);
  if (in.gcount() == size) return true;
  bytes.clear();
  return false;
}

}  // namespace platform
