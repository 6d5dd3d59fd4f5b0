#include <platform/login_program.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <platform/atomic_file.h>
#include <platform/process.h>
#include <platform/tree_removal.h>
#include <platform/whole_file.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

// systemd gives a stopping service 90 seconds by default; the runner ends
// within a few. Past these limits we go on without the manager's answer.
constexpr int kStopTimeoutMs = 30000;
constexpr int kReloadTimeoutMs = 15000;

bool IsSafeText(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// The id names files and a unit: no path separators, no dots.
bool IsValidId(const std::string& id) {
  if (id.empty()) return false;
  for (const char c : id) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

bool IsValid(const LoginProgram& program) {
  if (!IsValidId(program.id) || program.argv.empty() || program.argv[0].empty() ||
      program.argv[0][0] != '/') {
    return false;
  }
  if (!IsSafeText(program.description)) return false;
  for (const auto& list : {program.argv, program.environment}) {
    for (const std::string& value : list) {
      if (!IsSafeText(value)) return false;
    }
  }
  for (const std::string& entry : program.environment) {
    const auto equals = entry.find('=');
    if (equals == 0 || equals == std::string::npos) return false;
  }
  return true;
}

// A systemd word in double quotes: C-style escapes for '\' and '"',
// '%' doubled (specifiers) and, on command lines, '$' doubled (variable
// expansion happens there only).
std::string SystemdQuoted(const std::string& word, bool commandLine) {
  std::string out = "\"";
  for (const char c : word) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '%' || (commandLine && c == '$')) out += c;
    out += c;
  }
  return out + "\"";
}

// A desktop-entry Exec argument: quoted with '"', '`', '$' and '\' escaped,
// then the string rule of the file doubles every backslash; '%' is a field
// code and is doubled.
std::string ExecQuoted(const std::string& word) {
  std::string quoted = "\"";
  for (const char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string out;
  for (const char c : quoted) {
    if (c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

fs::path ConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "") / ".config";
}

// A user manager runs where its private socket is in the runtime folder.
bool UserManagerRuns() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') return false;
  std::error_code ec;
  return fs::exists(fs::path(runtime) / "systemd" / "private", ec);
}

// Runs `systemctl --user ...` and waits at most timeoutMs; a manager that
// does not answer in time is left to finish on its own. Best effort: what
// systemctl says goes nowhere, and its exit code changes nothing for us.
void RunSystemctlWithin(const std::vector<std::string>& arguments, int timeoutMs) {
  std::vector<std::string> argv = {"systemctl", "--user"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  PipeOptions options;
  options.withErrors = true;
  auto pipe = StartWithOutputPipe(argv, options);
  if (!pipe) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[1024];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      pipe->Kill();
      break;
    }
    if (pipe->ReadSome(buffer, sizeof buffer, static_cast<int>(left)) < 0) break;
  }
  pipe->Close();
}

fs::path UnitFile(const std::string& id) {
  return ConfigFolder() / "systemd" / "user" / (id + ".service");
}
fs::path UnitLink(const std::string& id) {
  return ConfigFolder() / "systemd" / "user" / "default.target.wants" / (id + ".service");
}
fs::path AutostartFile(const std::string& id) {
  return ConfigFolder() / "autostart" / (id + ".desktop");
}

}  // namespace

std::string SystemdUnitText(const LoginProgram& program) {
  std::string text = "[Unit]\nDescription=" + program.description + "\n\n[Service]\n";
  for (const std::string& entry : program.environment) {
    text += "Environment=" + SystemdQuoted(entry, false) + "\n";
  }
  text += "ExecStart=";
  for (std::size_t i = 0; i < program.argv.size(); ++i) {
    text += (i > 0 ? " " : "") + SystemdQuoted(program.argv[i], true);
  }
  text += "\nRestart=on-failure\n\n[Install]\nWantedBy=default.target\n";
  return text;
}

std::string AutostartEntryText(const LoginProgram& program) {
  std::string exec;
  if (!program.environment.empty()) {
    exec = "env";
    for (const std::string& entry : program.environment) exec += " " + ExecQuoted(entry);
  }
  for (const std::string& word : program.argv) {
    exec += (exec.empty() ? "" : " ") + ExecQuoted(word);
  }
  return "[Desktop Entry]\nType=Application\nName=" + program.description + "\nExec=" + exec +
         "\nNoDisplay=true\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

bool RegisterLoginProgram(const LoginProgram& program) {
  if (!IsValid(program)) return false;
  if (UserManagerRuns()) {
    const fs::path unit = UnitFile(program.id);
    const fs::path link = UnitLink(program.id);
    if (CreatePrivateFolders(link.parent_path()) != 0) return false;
    if (WriteFileAtomically(unit, SystemdUnitText(program)) != 0) return false;
    // What `systemctl --user enable` does; the manager reads it at the next
    // login, and nothing of the running session is touched.
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(fs::path("..") / unit.filename(), link, ec);
    if (ec) return false;
    fs::remove(AutostartFile(program.id), ec);
    return true;
  }
  const fs::path entry = AutostartFile(program.id);
  if (CreatePrivateFolders(entry.parent_path()) != 0) return false;
  return WriteFileAtomically(entry, AutostartEntryText(program)) == 0;
}

void UnregisterLoginProgram(const std::string& id) {
  if (!IsValidId(id)) return;
  // A running manager keeps the unit loaded, and with Restart=on-failure
  // would start the program again while its folders go: it is stopped and
  // disabled first, and told to forget the unit once the files are gone.
  const bool managed = UserManagerRuns();
  // "--": an id may start with '-', which systemctl would read as an option.
  if (managed) RunSystemctlWithin({"disable", "--now", "--", id + ".service"}, kStopTimeoutMs);
  std::error_code ec;
  fs::remove(UnitLink(id), ec);
  fs::remove(UnitFile(id), ec);
  fs::remove(AutostartFile(id), ec);
  for (const fs::path& folder :
       {UnitLink(id).parent_path(), UnitFile(id).parent_path(), AutostartFile(id).parent_path()}) {
    RemoveEmptyFolder(folder);
  }
  if (managed) RunSystemctlWithin({"daemon-reload"}, kReloadTimeoutMs);
}

bool IsLoginProgramRegistered(const LoginProgram& program) {
  if (!IsValid(program)) return false;
  std::string text;
  std::error_code ec;
  if (fs::is_symlink(UnitLink(program.id), ec) && fs::exists(UnitLink(program.id), ec) &&
      ReadWholeFileExact(UnitFile(program.id), text) && text == SystemdUnitText(program)) {
    return true;
  }
  return ReadWholeFileExact(AutostartFile(program.id), text) && text == AutostartEntryText(program);
}

bool IsLoginIdTaken(const std::string& id) {
  std::error_code ec;
  for (const fs::path& path : {UnitFile(id), UnitLink(id), AutostartFile(id)}) {
    if (fs::exists(fs::symlink_status(path, ec))) return true;
  }
  return false;
}

}  // namespace platform
