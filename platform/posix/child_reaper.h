#pragma once
#include <sys/types.h>

namespace platform::posix {

// Takes over a child that nobody will wait for and reaps it when it ends, so
// it never lingers as a zombie. One thread serves every such child.
void ReapWhenDone(pid_t pid);

}  // namespace platform::posix
