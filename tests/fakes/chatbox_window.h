#pragma once
// The stand-in chat client's window (Qt builds only).
#include <tests/fakes/chatbox_config.h>

namespace fake_chatbox {

// Shows a small window naming the model and the host and runs until the
// process is ended. False when no display can be opened.
bool RunWindow(int argc, char** argv, const ChatTarget& target);

}  // namespace fake_chatbox
