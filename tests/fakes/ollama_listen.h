#pragma once
// The runner's listening socket as Go sets it up on each system, and why a
// bind failed in Go's words there.
#include <cstdint>
#include <string>

namespace fake_ollama {

// Applied to the server's socket before it binds (cpp-httplib's socket,
// passed as an integer wide enough for a Windows SOCKET).
void SetListenOptions(std::uintptr_t socket);

// "listen tcp <address>:<port>: bind: <reason>": the bind is tried once more
// by hand to learn the system's reason.
std::string BindFailure(const std::string& host, int port);

}  // namespace fake_ollama
