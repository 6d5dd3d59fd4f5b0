#include <platform/symbolic_link.h>

#include <cerrno>

namespace platform {

int MakeLinkIn(NativeFile, const std::string&, const std::string&) {
  // Symbolic links need SeCreateSymbolicLinkPrivilege (or developer mode);
  // what is installed on Windows never depends on them.
  return EPERM;
}

}  // namespace platform
