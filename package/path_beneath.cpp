#include <package/path_beneath.h>

#include <cerrno>

#include <platform/folder_steps.h>

using platform::kNoFile;
using platform::NativeFile;

platform::NativeFile OpenFolderBeneath(NativeFile root, const std::string& relative) {
  if (relative.empty()) return platform::DuplicateFile(root);
  // The whole way in one call when every step already exists as a folder.
  if (const NativeFile folder = platform::OpenFolderPathBeneath(root, relative);
      folder != kNoFile) {
    return folder;
  }
  NativeFile current = platform::DuplicateFile(root);
  std::size_t start = 0;
  while (current != kNoFile && start < relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) {
      const std::string part = relative.substr(start, end - start);
      if (part == "." || part == "..") {
        platform::CloseFile(current);
        errno = EINVAL;
        return kNoFile;
      }
      const NativeFile next = platform::OpenChildFolder(current, part, 0755);
      const int error = errno;
      platform::CloseFile(current);
      errno = error;
      current = next;
    }
    start = end + 1;
  }
  return current;
}

platform::NativeFile CreateFileIn(NativeFile folder, const std::string& name, unsigned mode) {
  NativeFile file = platform::CreateNewFileIn(folder, name, mode);
  if (file == kNoFile && errno == EEXIST && platform::RemoveIn(folder, name)) {
    file = platform::CreateNewFileIn(folder, name, mode);
  }
  return file;
}

bool RemoveBeneath(NativeFile dir, const std::string& name) {
  return platform::RemoveTreeBeneath(dir, name);
}
