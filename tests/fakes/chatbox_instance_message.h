#pragma once
// What a later start hands the first one, on every system: "START", the
// later start's working folder and its arguments, each ended by a zero but
// the last, as Electron's second-instance message carries them.
#include <optional>
#include <string>
#include <vector>

namespace fake_chatbox {

std::string StartMessage(const std::string& workingFolder, const std::vector<std::string>& args);
// The arguments of a start message; nullopt for anything else.
std::optional<std::vector<std::string>> StartArguments(const std::string& message);

}  // namespace fake_chatbox
