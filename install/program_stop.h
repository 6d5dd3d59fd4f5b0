#pragma once
// Ending the programs we installed, and only those: the processes of this
// user whose program file lies inside one of our folders, never another
// program that merely shares a name.
#include <filesystem>
#include <functional>
#include <optional>

// Asks every process running from the folder (and the one started() names,
// while it runs) to end, waits up to timeoutMs for them, then ends those
// left at once and waits for them too. True when none is left.
bool EndProgramsIn(const std::filesystem::path& folder, int timeoutMs,
                   const std::function<std::optional<long>()>& started = {});
