#pragma once
// The stand-in runner's client commands, talking to its server at
// OLLAMA_HOST as the real ones do: `list`, `pull TAG` (progress on standard
// error) and `--version`. The release played is TIDEWELL_FAKE_OLLAMA_VERSION.
#include <string>

namespace fake_ollama {

// Models whose name starts with prefix (any case), all when it is empty.
int ListModels(const std::string& prefix);
int PullModel(const std::string& name);
int ShowVersion();

}  // namespace fake_ollama
