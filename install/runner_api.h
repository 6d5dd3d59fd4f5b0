#pragma once
// The runner's server API, at an address like "http://127.0.0.1:11434":
// whether it answers, its version, its installed models and removing one.
// Each call is one short request with a time limit; none starts the server.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunnerModel {
  std::string name;  // the tag, "deepseek-r1:7b"
  std::uint64_t size = 0;
  std::string modifiedAt;  // RFC 3339, as the runner gives it
  std::string digest;      // 64 hexadecimal digits
};

// True when the server answers its root with "Ollama is running".
bool RunnerAnswers(const std::string& address, long timeoutMs);
// "0.5.7"; nothing when the server does not answer.
std::optional<std::string> RunnerVersion(const std::string& address, long timeoutMs);
// The installed models in the server's order; nothing when it does not
// answer or the answer is not its model list.
std::optional<std::vector<RunnerModel>> ListRunnerModels(const std::string& address,
                                                         long timeoutMs);
// The models' names, in the same order.
std::vector<std::string> RunnerModelNames(const std::vector<RunnerModel>& models);
// Removes an installed model (tag "deepseek-r1:7b", UTF-8) with its layers
// no other model shares. True when the server removed it; false when it has
// no such model, refuses the name, or does not answer.
bool DeleteRunnerModel(const std::string& address, const std::string& tag, long timeoutMs);
