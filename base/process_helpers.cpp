#include <base/process_helpers.h>

#include <algorithm>
#include <chrono>

#include <platform/command_line.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/top_level_window.h>
#include <platform/utf.h>

namespace {

constexpr unsigned kSettleMilliseconds = 1000;
constexpr unsigned kSettlePollMilliseconds = 20;
constexpr wchar_t kWizardClass[] = L"TWizardForm";
constexpr wchar_t kWizardTitle[] = L"Setup - Ollama version 0.5.7";

// Starts the program when its command line fits; null otherwise.
std::unique_ptr<platform::ChildProcess> Start(const std::wstring& executable,
                                              const std::vector<std::wstring>& arguments,
                                              bool hidden,
                                              const std::vector<std::string>& environment = {}) {
  if (executable.empty()) return nullptr;
  if (CommandLineUnits(executable, arguments) + 1 > kCommandLineBufferUnits) return nullptr;
  std::vector<std::string> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(platform::WideToOsNarrow(executable));
  for (const auto& argument : arguments) argv.push_back(platform::WideToOsNarrow(argument));
  platform::StartOptions options;
  options.hidden = hidden;
  options.environment = environment;
  return platform::StartProcess(argv, options);
}

}  // namespace

std::size_t CommandLineUnits(const std::wstring& executable,
                             const std::vector<std::wstring>& arguments) {
  // Exactly the line Windows is given: backslashes before quotes count too.
  std::size_t units = platform::Utf16Length(platform::QuoteProgramName(executable));
  for (const auto& argument : arguments) {
    units += 1 + platform::Utf16Length(platform::QuoteArgument(argument));
  }
  return units;
}

bool RunInstallerHidden(const std::wstring& executable, const std::vector<std::wstring>& arguments,
                        const std::vector<std::string>& environment) {
  auto child = Start(executable, arguments, true, environment);
  if (!child) return false;
  // A silent setup is often done within the second its wizard gets to show:
  // one that has ended has no window left to hide.
  for (unsigned waited = 0; waited < kSettleMilliseconds; waited += kSettlePollMilliseconds) {
    if (child->HasExited()) return true;
    platform::SleepMilliseconds(kSettlePollMilliseconds);
  }
  // One look only: a wizard that opens later stays visible.
  const platform::WindowHandle wizard = platform::FindTopLevelWindow(kWizardClass, kWizardTitle);
  if (platform::IsWindowHandle(wizard)) platform::HideWindow(wizard);
  child->Wait();
  return true;
}

bool RunAndWait(const std::wstring& executable, const std::vector<std::wstring>& arguments) {
  auto child = Start(executable, arguments, false);
  if (!child) return false;
  platform::SleepMilliseconds(kSettleMilliseconds);
  child->Wait();
  return true;
}

bool RunProcess(const std::wstring& executable, const std::vector<std::wstring>& arguments,
                bool wait) {
  auto child = Start(executable, arguments, false);
  if (!child) return false;
  if (wait) child->Wait();
  return true;
}

std::vector<std::string> RunCommandLines(const std::vector<std::string>& argv) {
  return RunCommandLinesWithin(argv, -1);
}

std::vector<std::string> SplitOutputPieces(const std::string& output) {
  constexpr std::size_t kPieceLimit = 1023;
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t newline = output.find('\n', start);
    std::size_t end = newline == std::string::npos ? output.size() : newline + 1;
    end = std::min(end, start + kPieceLimit);
    pieces.push_back(output.substr(start, end - start));
    start = end;
  }
  return pieces;
}

std::vector<std::string> RunCommandLinesWithin(const std::vector<std::string>& argv,
                                               int timeoutMs) {
  auto pipe = platform::StartWithOutputPipe(argv);
  if (!pipe) return {};
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string output;
  char buffer[4096];
  for (;;) {
    long long left = -1;  // no limit
    if (timeoutMs >= 0) {
      left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        pipe->Kill();
        break;
      }
    }
    const long got = pipe->ReadSome(buffer, sizeof buffer, static_cast<int>(left));
    if (got < 0) break;
    // A program that keeps printing would otherwise fill memory until the
    // deadline (or for ever without one): keep the start and end it.
    const std::size_t room = kMaxCommandOutputBytes - output.size();
    if (static_cast<std::size_t>(got) > room) {
      output.append(buffer, room);
      pipe->Kill();
      break;
    }
    output.append(buffer, static_cast<std::size_t>(got));
  }
  pipe->Close();
  return SplitOutputPieces(output);
}
