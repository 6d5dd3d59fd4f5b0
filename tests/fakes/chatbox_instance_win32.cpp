#include <tests/fakes/chatbox_instance.h>
#include <tests/fakes/chatbox_instance_message.h>

#include <windows.h>

#include <chrono>
#include <thread>

#include <platform/atomic_file.h>
#include <platform/digest.h>
#include <platform/utf.h>
#include <platform/win32/file_util.h>
#include <tests/fakes/utf8_path.h>

namespace fake_chatbox {

namespace fs = std::filesystem;

namespace {

constexpr DWORD kMaxMessage = 64 * 1024;

// One name per settings folder, as the lock is: the folder's digest.
std::wstring NameFor(const fs::path& folder, const wchar_t* prefix) {
  const auto digest = platform::DigestOf(platform::DigestKind::Sha256,
                                         fake_text::PathText(folder.lexically_normal()));
  static const char kHex[] = "0123456789abcdef";
  std::wstring name = prefix;
  const std::vector<unsigned char> bytes = digest.value_or(std::vector<unsigned char>());
  for (std::size_t i = 0; i < bytes.size() && i < 16; ++i) {
    name += static_cast<wchar_t>(kHex[bytes[i] >> 4]);
    name += static_cast<wchar_t>(kHex[bytes[i] & 0xf]);
  }
  return name;
}

// The later start's side: hand over the command line, wait for the answer.
void Notify(const std::wstring& pipe, const std::vector<std::string>& args) {
  std::error_code ec;
  const std::string message = StartMessage(fake_text::PathText(fs::current_path(ec)), args);
  if (message.size() > kMaxMessage) return;
  // The holder may have taken the lock a moment before it listens.
  for (int attempt = 0; attempt < 60; ++attempt) {
    const HANDLE file = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(pipe.c_str(), 50);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    DWORD mode = PIPE_READMODE_MESSAGE, done = 0;
    SetNamedPipeHandleState(file, &mode, nullptr, nullptr);
    if (WriteFile(file, message.data(), static_cast<DWORD>(message.size()), &done, nullptr)) {
      char answer[16];
      ReadFile(file, answer, sizeof answer, &done, nullptr);
    }
    CloseHandle(file);
    return;
  }
}

// Waits for the overlapped call on pipe or for stop; false when stopped or
// failed.
bool Finish(HANDLE pipe, OVERLAPPED* pending, HANDLE stop, DWORD* count) {
  const HANDLE waits[2] = {stop, pending->hEvent};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, pending, count, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, pending, count, FALSE) != 0;
}

}  // namespace

struct SingleInstance::Parts {
  HANDLE mutex;
  HANDLE stop;
  std::wstring pipe;
};

SingleInstance::SingleInstance(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

SingleInstance::~SingleInstance() {
  CloseHandle(parts_->stop);
  ReleaseMutex(parts_->mutex);
  CloseHandle(parts_->mutex);
}

SingleInstance::Claim SingleInstance::Take(const fs::path& folder,
                                           const std::vector<std::string>& args,
                                           std::unique_ptr<SingleInstance>* self) {
  if (platform::CreatePrivateFolders(folder) != 0) return Claim::Failed;
  const std::wstring pipe = NameFor(folder, L"\\\\.\\pipe\\xyz.chatboxapp.app-");
  const HANDLE mutex =
      CreateMutexW(nullptr, TRUE, NameFor(folder, L"Local\\xyz.chatboxapp.app-").c_str());
  if (mutex == nullptr) return Claim::Failed;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    Notify(pipe, args);
    return Claim::Second;
  }
  const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop == nullptr) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return Claim::Failed;
  }
  self->reset(new SingleInstance(std::unique_ptr<Parts>(new Parts{mutex, stop, pipe})));
  return Claim::First;
}

std::optional<std::vector<std::string>> SingleInstance::NextStart() {
  for (;;) {
    // Later starts retry while no pipe instance waits for them. Only the
    // user (and the system) may open it, as only they reach the socket file.
    platform::win32::PrivateSecurity security(false);
    const HANDLE pipe = CreateNamedPipeW(
        parts_->pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        kMaxMessage, kMaxMessage, 0, security.Attributes());
    if (pipe == INVALID_HANDLE_VALUE) return std::nullopt;
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED pending{};
    pending.hEvent = event;
    DWORD count = 0;
    bool connected = ConnectNamedPipe(pipe, &pending) != 0;
    const DWORD error = GetLastError();
    if (!connected && error == ERROR_PIPE_CONNECTED) connected = true;
    if (!connected && error == ERROR_IO_PENDING) {
      connected = Finish(pipe, &pending, parts_->stop, &count);
    }
    std::string message;
    if (connected) {
      message.resize(kMaxMessage);
      ResetEvent(event);
      pending = OVERLAPPED{};
      pending.hEvent = event;
      const bool read =
          ReadFile(pipe, message.data(), kMaxMessage, &count, &pending) != 0 ||
          (GetLastError() == ERROR_IO_PENDING && Finish(pipe, &pending, parts_->stop, &count));
      message.resize(read ? count : 0);
      if (read) {
        DWORD written = 0;
        ResetEvent(event);
        pending = OVERLAPPED{};
        pending.hEvent = event;
        if (!WriteFile(pipe, "ACK", 3, &written, &pending) && GetLastError() == ERROR_IO_PENDING) {
          Finish(pipe, &pending, parts_->stop, &written);
        }
        FlushFileBuffers(pipe);
      }
      DisconnectNamedPipe(pipe);
    }
    CloseHandle(event);
    CloseHandle(pipe);
    if (WaitForSingleObject(parts_->stop, 0) == WAIT_OBJECT_0) return std::nullopt;
    if (message.empty()) continue;
    if (auto args = StartArguments(message)) return args;
  }
}

void SingleInstance::Close() { SetEvent(parts_->stop); }

}  // namespace fake_chatbox
