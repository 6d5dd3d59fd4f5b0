// The Windows build of child.h: the same bounded runs through CreateProcessW.
#include "child.h"

#include <windows.h>

#include <chrono>

#include <platform/command_line.h>
#include <platform/os_encoding.h>

namespace {

struct Started {
  HANDLE process = nullptr;
  DWORD id = 0;
};

// The handles given are inherited as the child's output and errors; the
// others (our own) as they are.
Started Spawn(const std::vector<std::string>& argv, HANDLE output = nullptr,
              HANDLE errors = nullptr) {
  std::vector<std::wstring> wide;
  for (const std::string& argument : argv) wide.push_back(platform::OsNarrowToWide(argument));
  auto line = platform::BuildCommandLine(wide);
  if (!line) return {};
  STARTUPINFOW info{};
  info.cb = sizeof info;
  if (output != nullptr) {
    info.dwFlags = STARTF_USESTDHANDLES;
    info.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    info.hStdOutput = output;
    info.hStdError = errors;
  }
  PROCESS_INFORMATION process{};
  const wchar_t* application =
      wide[0].find_first_of(L"\\/:") != std::wstring::npos ? wide[0].c_str() : nullptr;
  if (!::CreateProcessW(application, line->data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                        nullptr, &info, &process)) {
    return {};
  }
  ::CloseHandle(process.hThread);
  return {process.hProcess, process.dwProcessId};
}

// A private temporary file that goes when its last handle does.
HANDLE OutputFile() {
  wchar_t folder[MAX_PATH];
  wchar_t name[MAX_PATH];
  if (::GetTempPathW(MAX_PATH, folder) == 0 || ::GetTempFileNameW(folder, L"tw", 0, name) == 0) {
    return nullptr;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &inherit, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

std::string ReadBack(HANDLE file) {
  std::string text;
  if (file == nullptr) return text;
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char block[4096];
  DWORD got = 0;
  while (::ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) text.append(block, got);
  ::CloseHandle(file);
  return text;
}

ChildResult WaitChild(HANDLE process, double timeoutSeconds,
                      std::chrono::steady_clock::time_point start) {
  ChildResult result;
  result.started = true;
  const auto limit = static_cast<DWORD>(timeoutSeconds * 1000);
  if (::WaitForSingleObject(process, limit) == WAIT_TIMEOUT) {
    result.timedOut = true;
    ::TerminateProcess(process, static_cast<UINT>(-1));
    ::WaitForSingleObject(process, INFINITE);
  }
  DWORD code = 0;
  result.exitCode = ::GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
  ::CloseHandle(process);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace

ChildResult RunChildWithOutput(const std::vector<std::string>& argv, double timeoutSeconds) {
  const HANDLE out = OutputFile();
  const HANDLE err = OutputFile();
  const auto start = std::chrono::steady_clock::now();
  const Started child = out != nullptr && err != nullptr ? Spawn(argv, out, err) : Started{};
  ChildResult result =
      child.process == nullptr ? ChildResult() : WaitChild(child.process, timeoutSeconds, start);
  result.output = ReadBack(out);
  result.errors = ReadBack(err);
  return result;
}

ChildResult RunChild(const std::vector<std::string>& argv, double timeoutSeconds) {
  const auto start = std::chrono::steady_clock::now();
  const Started child = Spawn(argv);
  if (child.process == nullptr) return ChildResult();
  return WaitChild(child.process, timeoutSeconds, start);
}

BackgroundChild::BackgroundChild(const std::vector<std::string>& argv) {
  const Started child = Spawn(argv);
  if (child.process == nullptr) return;
  ::CloseHandle(child.process);
  pid_ = static_cast<long>(child.id);
}

BackgroundChild::~BackgroundChild() { Stop(); }

bool BackgroundChild::Running() {
  if (pid_ <= 0) return false;
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid_));
  const bool running = process != nullptr && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  if (process != nullptr) ::CloseHandle(process);
  if (!running) pid_ = -1;
  return running;
}

void BackgroundChild::Stop() {
  if (pid_ <= 0) return;
  const HANDLE process =
      ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid_));
  if (process != nullptr) {
    ::TerminateProcess(process, static_cast<UINT>(-1));
    ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
  }
  pid_ = -1;
}
