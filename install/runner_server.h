#pragma once
// Our own runner server: started from the runner below the install folder,
// with this install's model store, on an address of our own (127.0.0.1:11434
// when that is free, otherwise a free port), kept in the key store and used
// again on later starts. A server of another user, a system service or
// another program of this user on the address is never used and never
// stopped: we move to another port instead.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <install/install_layout.h>
#include <install/runner_api.h>

// The server answers only after its start-up work (looking for graphics
// cards can take many seconds on a first start).
inline constexpr int kRunnerServerAnswerTimeoutMs = 60000;

enum class RunnerServerState {
  Ready,        // ours answers at RunnerServerAddress()
  NoRunner,     // no runner program below the install folder
  NotAnswering  // started (or found) but it never answered in time
};

// Makes sure our server, the runner below the layout (a task's own copy),
// answers, starting it when needed. onWaiting is called once when the caller
// has to wait for it. Callers on any thread; one start at a time.
RunnerServerState EnsureRunnerServer(const InstallLayout& layout,
                                     const std::function<void()>& onWaiting, int timeoutMs);
// "http://127.0.0.1:PORT" of our server: the address kept in the key store,
// or the runner's default before one is chosen.
std::string RunnerServerAddress();
// "127.0.0.1:PORT", the form the runner's OLLAMA_HOST takes.
std::string RunnerServerHostPort();
// Ends the server if this process started it. The program leaves it running
// (the chat client talks to it); tests end theirs.
void StopStartedRunnerServer();
// Whether the program listening on our server's address is our runner
// below the layout (nothing listening: false).
bool RunnerServerIsOurs(const InstallLayout& layout);
// The models our server lists (another program on its address never speaks
// for us); nothing when ours does not answer. No server is started.
std::optional<std::vector<RunnerModel>> ListOurRunnerModels(const InstallLayout& layout,
                                                            long timeoutMs);
