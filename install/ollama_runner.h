#pragma once
// The Ollama runner below the install folder: is it there and working, its
// silent installation, where it keeps its models, its local server, and the
// install folder remembered between runs. The folder is the service state's
// installFolder at the time of each call.
#include <string>
#include <vector>

// Time limits of the runner's short commands and of its server's start.
inline constexpr int kRunnerCommandTimeoutMs = 20000;
inline constexpr int kRunnerServerStartTimeoutMs = 10000;

// True when the runner's help answers with its usual first line.
bool IsOllamaInstalled();
// Creates the runner folder, points the model store there and runs the
// runner's setup silently, waiting for it.
void InstallOllama();
// Creates the model store and sets OLLAMA_MODELS for the user and for the
// programs this process starts.
void SetOllamaModelsDir();

// The install folder in the key store ("OllamaPath").
void SaveInstallPath();
std::wstring LoadInstallPath();

// The runner's server answers at the address the runner uses; when it does
// not, it is started (once, detached, with this install's model store) and
// awaited for a bounded time. True when it answers.
bool EnsureRunnerServer();
// Ends the runner's server if this process started it. The program leaves
// it running (the chat client talks to it); tests end theirs.
void StopStartedRunnerServer();
// "http://host:port" of the runner's server, from OLLAMA_HOST or the default.
std::string RunnerServerAddress();

// The runner's list output in pieces (the header first); empty when the
// runner cannot be run.
std::vector<std::string> RunRunnerList();
// The model names of list output: the first word of every piece after the
// header, in order.
std::vector<std::string> InstalledModelNames(const std::vector<std::string>& pieces);
