#pragma once
// Whether an ordinary program may create user namespaces. Chromium's sandbox
// (and so every Electron program) needs them and aborts at start when the
// kernel or a security module refuses them.
#include <filesystem>
#include <string>

namespace platform {

// Why unprivileged user namespaces are refused here, as one short line for
// a log; empty when nothing refuses them (or nothing says so).
std::string UserNamespaceRestriction();
// The same, read from the kernel's switches below a sysctl folder (normally
// /proc/sys), so a prepared folder can stand in for the kernel.
std::string UserNamespaceRestrictionIn(const std::filesystem::path& sysctlFolder);

}  // namespace platform
