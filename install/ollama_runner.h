#pragma once
// The Ollama runner below the install folder: is it there and working, its
// silent installation, where it keeps its models, and the install folder
// remembered between runs (its server: runner_server.h). Each works on the
// layout it is given; the forms without one take the current install
// folder's.
#include <string>
#include <vector>

#include <install/install_layout.h>

// Time limit of the runner's short commands.
inline constexpr int kRunnerCommandTimeoutMs = 20000;

// True when the runner's help answers with its usual first line.
bool IsOllamaInstalled();
bool IsOllamaInstalled(const InstallLayout& layout);
// Creates the runner folder, points the model store there and runs the
// runner's setup silently, waiting for it.
void InstallOllama();
void InstallOllama(const InstallLayout& layout);
// Creates the model store and sets OLLAMA_MODELS for the user. This
// process's environment is left as it is: children that need the store are
// given it when they start.
void SetOllamaModelsDir();
void SetOllamaModelsDir(const InstallLayout& layout);

enum class StoreVariable { Set, UsersOwn, Failed };
// Points the user's OLLAMA_MODELS at the store and records it, unless the
// user set a value of their own (in their session, or another file of the
// per-user environment): theirs wins, and our server is given the store
// anyway.
StoreVariable PointStoreVariable(const InstallLayout& layout);
// Takes our OLLAMA_MODELS entry back (never the user's own); true when none
// of ours is left.
bool RemoveStoreVariable();

// The install folder in the key store ("OllamaPath").
bool SaveInstallPath(const std::wstring& folder);
std::wstring LoadInstallPath();
