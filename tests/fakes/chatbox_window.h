#pragma once
// The stand-in chat client's window (Qt builds only).
#include <atomic>

#include <tests/fakes/chatbox_view.h>

namespace fake_chatbox {

// Shows a small window with what the user sees (provider, model, host, the
// Ollama models offered) until `ending` turns true or the window is closed.
// False at once when no display can be opened.
bool RunWindow(int argc, char** argv, const UserView& view, const std::atomic<bool>& ending);

}  // namespace fake_chatbox
