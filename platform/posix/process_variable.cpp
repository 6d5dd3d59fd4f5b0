#include <platform/process_variable.h>

#include <cstdlib>

namespace platform {

std::string ProcessVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace platform
