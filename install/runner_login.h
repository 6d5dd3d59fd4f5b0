#pragma once
// Our runner server starts with the user's session, so the chat client finds
// it after a restart without opening the assistant.
// Registers `ollama serve` from the install folder on our address.
bool RegisterRunnerServerAtLogin();
void UnregisterRunnerServerAtLogin();
