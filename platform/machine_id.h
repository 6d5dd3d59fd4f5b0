#pragma once
#include <string>

namespace platform {

// The installation's stable machine identifier as text; empty when unreadable.
std::string ReadMachineId();

}  // namespace platform
