#include <platform/machine_id.h>

#include "machine_id_posix.h"

#include <fstream>

namespace platform {

namespace posix {

std::string ReadMachineIdFrom(const std::vector<std::filesystem::path>& candidates) {
  for (const auto& candidate : candidates) {
    std::ifstream in(candidate);
    std::string line;
    if (in && std::getline(in, line)) {
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (!line.empty()) return line;
    }
  }
  return {};
}

}  // namespace posix

std::string ReadMachineId() {
  return posix::ReadMachineIdFrom({"/etc/machine-id", "/var/lib/dbus/machine-id"});
}

}  // namespace platform
