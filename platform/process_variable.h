#pragma once
// A variable of this process's own environment, as UTF-8 whatever the
// system keeps it as (UTF-16 on Windows, where getenv would give the ANSI
// code page's approximation).
#include <string>

namespace platform {

// The value, or empty when it is not set.
std::string ProcessVariable(const char* name);

}  // namespace platform
