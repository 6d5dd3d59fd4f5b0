#pragma once
// Our runner server starts with the user's session, so the chat client finds
// it after a restart without opening the assistant.
#include <install/install_layout.h>

// Registers `ollama serve` of the layout's runner on our address.
bool RegisterRunnerServerAtLogin(const InstallLayout& layout);
// True when the registration is there and names this layout's runner on our
// address.
bool RunnerServerRegisteredAtLogin(const InstallLayout& layout);
// False when the record holds no registration of ours (nothing is removed).
bool UnregisterRunnerServerAtLogin();
