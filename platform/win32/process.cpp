// Children are started suspended, with only the handles meant for them, and
// from one command line quoted so it splits back into our argument vector.
// Those read through a pipe join a job that ends them when this process
// ends (its last handle closes with us): a hung console program must not
// outlive the program waiting for it. Everything else we start (setups,
// the runner's server, the chat client) is left out of it and outlives
// us, as on other systems.
#include <platform/process.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include <platform/command_line.h>
#include <platform/os_encoding.h>

#include "handle.h"
#include "process_start.h"

namespace platform {
namespace {

using win32::Handle;

// The one job of pipe children; never closed, so it ends them when we end.
HANDLE PipeJob() {
  static const HANDLE job = [] {
    HANDLE created = ::CreateJobObjectW(nullptr, nullptr);
    if (created == nullptr) return created;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A program started detached from inside it may leave, as it asks to.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits)) {
      ::CloseHandle(created);
      return HANDLE{nullptr};
    }
    return created;
  }();
  return job;
}

int ExitCodeOf(HANDLE process) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return -1;
  return static_cast<int>(code);  // a program ended by us exits with -1
}

class WinChild final : public ChildProcess {
 public:
  WinChild(Handle process, DWORD id) : process_(std::move(process)), id_(id) {}
  int Wait() override {
    if (!done_) {
      ::WaitForSingleObject(process_.get(), INFINITE);
      exitCode_ = ExitCodeOf(process_.get());
      done_ = true;
    }
    return exitCode_;
  }
  bool HasExited() override {
    if (!done_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) {
      exitCode_ = ExitCodeOf(process_.get());
      done_ = true;
    }
    return done_;
  }
  long Id() const override { return static_cast<long>(id_); }

 private:
  Handle process_;
  DWORD id_;
  bool done_ = false;
  int exitCode_ = -1;
};

// A pipe whose reading end allows reads with a time limit (an anonymous
// pipe does not): a named one, made for this child only, never reachable
// from another machine, with a name nobody else could have taken first.
bool MakeOverlappedPipe(Handle* readEnd, Handle* writeEnd) {
  static std::atomic<unsigned> counter{0};
  wchar_t name[128];
  ::swprintf(name, sizeof name / sizeof name[0], L"\\\\.\\pipe\\tidewell-%lu-%u-%llu",
             ::GetCurrentProcessId(), counter.fetch_add(1),
             static_cast<unsigned long long>(::GetTickCount64()));
  readEnd->reset(::CreateNamedPipeW(
      name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024,
      0, nullptr));
  if (!readEnd->valid()) return false;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  writeEnd->reset(::CreateFileW(name, GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return writeEnd->valid();
}

class WinOutputPipe final : public OutputPipe {
 public:
  WinOutputPipe(Handle process, Handle pipe)
      : process_(std::move(process)), pipe_(std::move(pipe)) {
    event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  ~WinOutputPipe() override { Close(); }

  bool ReadPiece(char* buffer, int size, std::size_t* length) override {
    std::size_t n = 0;
    const std::size_t limit = size > 0 ? static_cast<std::size_t>(size) - 1 : 0;
    while (n < limit) {
      if (begin_ == end_ && !Fill(INFINITE)) break;
      const char c = buffer_[begin_++];
      buffer[n++] = c;
      if (c == '\n') break;
    }
    if (size > 0) buffer[n] = '\0';
    if (length != nullptr) *length = n;
    return n > 0;
  }

  long ReadSome(char* buffer, std::size_t size, int timeoutMs) override {
    if (size == 0) return 0;
    if (begin_ == end_) {
      if (ended_) return -1;
      if (!Fill(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs))) return ended_ ? -1 : 0;
    }
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(buffer, buffer_ + begin_, n);
    begin_ += n;
    return static_cast<long>(n);
  }

  void Kill() override {
    if (!closed_) ::TerminateProcess(process_.get(), static_cast<UINT>(-1));
  }

  int Close() override {
    if (!closed_) {
      closed_ = true;
      if (pending_) {
        // The read must be over before its buffer and handle go.
        ::CancelIoEx(pipe_.get(), &overlapped_);
        DWORD got = 0;
        ::GetOverlappedResult(pipe_.get(), &overlapped_, &got, TRUE);
        pending_ = false;
      }
      pipe_.reset();
      ::WaitForSingleObject(process_.get(), INFINITE);
      exitCode_ = ExitCodeOf(process_.get());
    }
    return exitCode_;
  }

 private:
  // Waits up to timeoutMs for more output; false when none came (ended_
  // tells whether none will). A read still pending is kept for the next call.
  bool Fill(DWORD timeoutMs) {
    if (ended_ || closed_ || !event_.valid()) {
      ended_ = true;
      return false;
    }
    if (!pending_) {
      overlapped_ = OVERLAPPED{};
      overlapped_.hEvent = event_.get();
      if (!::ReadFile(pipe_.get(), buffer_, sizeof buffer_, nullptr, &overlapped_) &&
          ::GetLastError() != ERROR_IO_PENDING) {
        ended_ = true;  // ERROR_BROKEN_PIPE: every writer has gone
        return false;
      }
      pending_ = true;
    }
    if (::WaitForSingleObject(event_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    pending_ = false;
    DWORD got = 0;
    if (!::GetOverlappedResult(pipe_.get(), &overlapped_, &got, FALSE) || got == 0) {
      ended_ = true;
      return false;
    }
    begin_ = 0;
    end_ = got;
    return true;
  }

  Handle process_;
  Handle pipe_;
  Handle event_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
  bool ended_ = false;
  bool closed_ = false;
  int exitCode_ = -1;
  char buffer_[4096];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

std::vector<std::wstring> WideArguments(const std::vector<std::string>& argv) {
  std::vector<std::wstring> wide;
  wide.reserve(argv.size());
  for (const std::string& argument : argv) wide.push_back(OsNarrowToWide(argument));
  return wide;
}

}  // namespace

std::unique_ptr<ChildProcess> StartProcess(const std::vector<std::string>& argv,
                                           const StartOptions& options) {
  if (argv.empty() || argv[0].empty()) return nullptr;
  win32::StartRequest request;
  request.argv = WideArguments(argv);
  request.environment = options.environment;
  request.hidden = options.hidden;
  // Nobody waits for it and it may have to outlive us (the runner's
  // server): out of any job we are in, where that job allows it.
  request.breakaway = options.detached;
  if (!options.workingDirectory.empty()) {
    request.workingDirectory = OsNarrowToWide(options.workingDirectory);
  }
  Handle output;
  if (!options.outputFile.empty()) {
    output = win32::OpenPrivateAppend(OsNarrowToWide(options.outputFile));
    if (!output.valid()) return nullptr;
    request.output = output.get();
    request.errors = output.get();
  }
  win32::Started started = win32::Start(request);
  if (!started.process.valid()) return nullptr;
  ::ResumeThread(started.thread.get());
  return std::make_unique<WinChild>(std::move(started.process), started.id);
}

std::unique_ptr<OutputPipe> StartWithOutputPipe(const std::vector<std::string>& argv,
                                                const PipeOptions& options) {
  if (argv.empty() || argv[0].empty()) return nullptr;
  Handle readEnd;
  Handle writeEnd;
  if (!MakeOverlappedPipe(&readEnd, &writeEnd)) return nullptr;
  win32::StartRequest request;
  request.argv = WideArguments(argv);
  request.environment = options.environment;
  request.hidden = true;  // a console program read by us shows no window
  request.output = writeEnd.get();
  if (options.withErrors) request.errors = writeEnd.get();
  win32::Started started = win32::Start(request);
  writeEnd.reset();  // the child's copy is the only writer left: its end is our end of output
  if (!started.process.valid()) return nullptr;
  // Joined while suspended, so nothing it starts escapes the job.
  if (const HANDLE job = PipeJob(); job != nullptr) {
    ::AssignProcessToJobObject(job, started.process.get());
  }
  ::ResumeThread(started.thread.get());
  return std::make_unique<WinOutputPipe>(std::move(started.process), std::move(readEnd));
}

void SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform
