#pragma once
// A program that starts with the user's session from the next login on: a
// systemd user unit where a user manager runs, an XDG autostart entry
// elsewhere; on Windows a value under the user's Run key naming our launcher
// (beside our own program), which starts the program hidden with the
// environment entries: there entry names are [A-Z_][A-Z0-9_]*, argv[0] a
// .exe and no text holds a '%'. Nothing is started now.
#include <string>
#include <vector>

namespace platform {

struct LoginProgram {
  std::string id;                        // [a-z0-9-]+, names the unit or entry
  std::string description;               // plain text for people
  std::vector<std::string> argv;         // argv[0] an absolute path
  std::vector<std::string> environment;  // NAME=VALUE entries
};

// Registers (or replaces) the program; false, writing nothing, when a value
// cannot be written safely (a line break, a control character, a bad id).
bool RegisterLoginProgram(const LoginProgram& program);
// Removes what RegisterLoginProgram wrote for the id, and the folders it
// made for it once they are empty. Where a user manager runs, the unit is
// first stopped and disabled (`systemctl --user disable --now`), and the
// manager reloads once the files are gone; each call waits a bounded time.
// On POSIX an id RegisterLoginProgram would refuse names no file and is ignored.
void UnregisterLoginProgram(const std::string& id);
// True when the program starts with the next login as given: the enabled
// unit or the autostart entry holds exactly what RegisterLoginProgram
// writes for it.
bool IsLoginProgramRegistered(const LoginProgram& program);

// True when anything stands registered under the id, ours or not (a unit
// file, its enabling link, an autostart entry; a Run value on Windows).
bool IsLoginIdTaken(const std::string& id);

// The texts written, exposed for tests: the unit file and the entry.
std::string SystemdUnitText(const LoginProgram& program);
std::string AutostartEntryText(const LoginProgram& program);

}  // namespace platform
