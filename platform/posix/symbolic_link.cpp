#include <platform/symbolic_link.h>

#include <unistd.h>

#include <cerrno>

namespace platform {

int MakeLinkIn(NativeFile dir, const std::string& name, const std::string& target) {
  return ::symlinkat(target.c_str(), dir, name.c_str()) == 0 ? 0 : errno;
}

}  // namespace platform
