// A small Windows program the process tests start in place of real ones.
// What it does is its first argument:
//   args              prints "[a][b]..." of the other arguments, as UTF-8
//   exit N            exits with N
//   pieces            prints "one\ntwo-long-line\nthree" and exits with 3
//   print N [stay]    prints N bytes of 'x', then stays for ever when asked
//   fill N C [TEXT]   prints N bytes of the character C, then TEXT
//   env NAME          prints the variable's value
//   cwd               prints its working folder
//   sleep MS          sleeps, then exits with 0
//   hold pipe|detached  starts "sleep 60000" of itself that way, prints the
//                     child's id and its own, and ends at once without
//                     waiting for the child
// Named nvidia-smi.exe, it answers as that tool does, as TIDEWELL_FAKE_SMI
// says: "one" or "two" (cards), "fail" (no driver), "hang".
// Named recorder*.exe, it stands in for a setup: it writes its arguments,
// one a line, to the file TIDEWELL_PROBE_RECORD names, waits 0.2 s and
// adds "done" (so a caller that waited finds that line).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include <platform/process.h>
#include <platform/process_exit.h>

namespace {

void Write(const std::string& text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

std::string Narrow(const wchar_t* text) { return Utf8(text); }

int NvidiaSmi() {
  wchar_t mode[32] = L"";
  ::GetEnvironmentVariableW(L"TIDEWELL_FAKE_SMI", mode, 32);
  if (std::wcscmp(mode, L"one") == 0) {
    Write("NVIDIA GeForce RTX 3060, 12288 MiB\r\n");
    return 0;
  }
  if (std::wcscmp(mode, L"two") == 0) {
    // Its real output: CRLF line ends on Windows.
    Write("NVIDIA GeForce RTX 3060, 12288 MiB\r\nNVIDIA GeForce GTX 1650, 4096 MiB\r\n");
    return 0;
  }
  if (std::wcscmp(mode, L"hang") == 0) {
    ::Sleep(INFINITE);
  }
  Write(
      "NVIDIA-SMI has failed because it couldn't communicate with the NVIDIA driver. Make sure "
      "that the latest NVIDIA driver is installed and running.\r\n");
  return 9;
}

void WriteFile(const std::wstring& path, const std::string& text, DWORD disposition) {
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

int Recorder(int argc, wchar_t** argv) {
  wchar_t target[1024] = L"";
  if (::GetEnvironmentVariableW(L"TIDEWELL_PROBE_RECORD", target, 1024) == 0) return 2;
  std::string lines;
  for (int i = 1; i < argc; ++i) lines += Utf8(argv[i]) + "\n";
  WriteFile(target, lines, CREATE_ALWAYS);
  ::Sleep(200);
  WriteFile(target, "done\n", OPEN_ALWAYS);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t ownPath[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
  const std::wstring self = ownPath;
  const wchar_t* name = std::wcsrchr(ownPath, L'\\');
  name = name != nullptr ? name + 1 : ownPath;
  if (::_wcsnicmp(name, L"nvidia-smi", 10) == 0) return NvidiaSmi();
  if (::_wcsnicmp(name, L"recorder", 8) == 0) return Recorder(argc, argv);
  if (argc < 2) return 2;
  const std::wstring mode = argv[1];
  if (mode == L"args") {
    std::string out;
    for (int i = 2; i < argc; ++i) {
      out += '[';
      out += Utf8(argv[i]);
      out += ']';
    }
    Write(out);
    return 0;
  }
  if (mode == L"exit" && argc > 2) return std::stoi(argv[2]);
  if (mode == L"pieces") {
    Write("one\ntwo-long-line\nthree");
    return 3;
  }
  if (mode == L"print" && argc > 2) {
    Write(std::string(std::stoul(argv[2]), 'x'));
    if (argc > 3) ::Sleep(INFINITE);
    return 0;
  }
  if (mode == L"fill" && argc > 3) {
    Write(std::string(std::stoul(argv[2]), static_cast<char>(argv[3][0])) +
          (argc > 4 ? Utf8(argv[4]) : std::string()));
    return 0;
  }
  if (mode == L"env" && argc > 2) {
    wchar_t value[1024] = L"";
    const DWORD n = ::GetEnvironmentVariableW(argv[2], value, 1024);
    Write(n == 0 ? "<unset>" : Narrow(value));
    return 0;
  }
  if (mode == L"cwd") {
    wchar_t folder[MAX_PATH] = L"";
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    Write(Narrow(folder));
    return 0;
  }
  if (mode == L"sleep" && argc > 2) {
    ::Sleep(static_cast<DWORD>(std::stoul(argv[2])));
    return 0;
  }
  if (mode == L"hold" && argc > 2) {
    const std::string program = Utf8(self);
    long id = 0;
    std::unique_ptr<platform::OutputPipe> pipe;
    std::unique_ptr<platform::ChildProcess> child;
    if (std::wstring(argv[2]) == L"pipe") {
      // Its id comes from the child itself: an output pipe does not tell it.
      pipe = platform::StartWithOutputPipe({program, "pid-then-sleep"});
      char buffer[64];
      std::size_t length = 0;
      if (pipe && pipe->ReadPiece(buffer, sizeof buffer, &length)) id = std::atol(buffer);
    } else {
      platform::StartOptions options;
      options.detached = true;
      child = platform::StartProcess({program, "sleep", "60000"}, options);
      if (child) id = child->Id();
    }
    std::string line = std::to_string(id);
    line += ' ';
    line += std::to_string(::GetCurrentProcessId());
    line += '\n';
    Write(line);
    platform::ExitProcessNow(id > 0 ? 0 : 1);
  }
  if (mode == L"pid-then-sleep") {
    std::string line = std::to_string(::GetCurrentProcessId());
    line += '\n';
    Write(line);
    ::Sleep(60000);
    return 0;
  }
  return 2;
}
