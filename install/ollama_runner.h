#pragma once
// The Ollama runner below the install folder: is it there and working, its
// silent installation, where it keeps its models, and the install folder
// remembered between runs (its server: runner_server.h). The folder is the
// service state's installFolder at the time of each call.
#include <string>
#include <vector>

// Time limit of the runner's short commands.
inline constexpr int kRunnerCommandTimeoutMs = 20000;

// True when the runner's help answers with its usual first line.
bool IsOllamaInstalled();
// Creates the runner folder, points the model store there and runs the
// runner's setup silently, waiting for it.
void InstallOllama();
// Creates the model store and sets OLLAMA_MODELS for the user. This
// process's environment is left as it is: children that need the store are
// given it when they start.
void SetOllamaModelsDir();

// The install folder in the key store ("OllamaPath").
void SaveInstallPath();
std::wstring LoadInstallPath();
