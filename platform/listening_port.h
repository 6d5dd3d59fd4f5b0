#pragma once
// Who holds a TCP port on this machine's loopback address, so that a server
// found there is used only when it is the one we started, and a free port to
// start ours on when it is not.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct PortOwner {
  bool listening = false;  // something listens on the port (any local address)
  bool sameUser = false;   // the listening socket belongs to this user
  // The process holding it, when it is this user's and can be found.
  std::optional<long> processId;
  std::string executable;  // its program file, resolved; empty when unknown
};

PortOwner FindPortOwner(std::uint16_t port);

// A port on 127.0.0.1 that nothing listens on at the time of the call; 0 when
// none could be had.
std::uint16_t PickFreeLoopbackPort();

}  // namespace platform
