#pragma once
// `ollama list` and `ollama pull TAG` of the stand-in runner: clients of its
// server, which must be running (`ollama serve`).
#include <string>

namespace fake_ollama {

inline constexpr const char* kCannotConnect =
    "Error: could not connect to ollama server, run 'ollama serve' to start it\n";

int ListModels();
int PullModel(const std::string& name);

}  // namespace fake_ollama
