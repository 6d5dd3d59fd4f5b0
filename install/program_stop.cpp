#include <install/program_stop.h>

#include <chrono>
#include <set>

#include <platform/process.h>
#include <platform/process_lookup.h>

namespace {

// What a process ended at once still needs to be gone from the process list.
constexpr int kKilledWaitMs = 3000;
constexpr unsigned kPollMs = 50;

using Started = std::function<std::optional<long>()>;

// Signals each process not signalled yet; true while any of them is left.
bool SignalLeft(const std::filesystem::path& folder, const Started& started, bool (*signal)(long),
                std::set<long>& signalled) {
  bool left = false;
  if (const std::optional<long> id = started ? started() : std::nullopt) {
    left = true;
    if (signalled.insert(*id).second) signal(*id);
  }
  if (folder.empty()) return left;
  for (const long id : platform::FindProcessesInFolder(folder)) {
    left = true;
    if (signalled.insert(id).second) signal(id);
  }
  return left;
}

bool EndWithin(const std::filesystem::path& folder, const Started& started, bool (*signal)(long),
               int timeoutMs) {
  std::set<long> signalled;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (SignalLeft(folder, started, signal, signalled)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    platform::SleepMilliseconds(kPollMs);
  }
  return true;
}

}  // namespace

bool EndProgramsIn(const std::filesystem::path& folder, int timeoutMs, const Started& started) {
  return EndWithin(folder, started, &platform::TerminateProcessById, timeoutMs) ||
         EndWithin(folder, started, &platform::KillProcessById, kKilledWaitMs);
}
