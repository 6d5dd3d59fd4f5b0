// The stand-in for the Chatbox client. On Linux, installed as `Chatbox` it
// is the AppImage (see chatbox_appimage.h); under any other name, and as
// Chatbox.exe on Windows, it is the app:
// one instance per settings folder, settings loaded by the rules of the
// emulated client version (TIDEWELL_FAKE_CHATBOX_VERSION, default 1.20.0),
// written back on start and again when it is ended (a stop request: see
// platform/stop_requests.h), and
// one line on stdout saying what a user would see. `--describe` only loads
// and prints: no lock, no write (with `--chats`, a second line: the chats
// the current client lists after moving and migrating an older file's).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <platform/process_variable.h>
#include <platform/scratch_user_root.h>
#include <platform/standard_streams.h>
#include <platform/stop_requests.h>
#include <tests/fakes/chatbox_config.h>
#include <tests/fakes/chatbox_instance.h>
#include <tests/fakes/chatbox_load.h>
#include <tests/fakes/chatbox_package.h>
#include <tests/fakes/chatbox_view.h>
#include <tests/fakes/utf8_path.h>
#ifdef TIDEWELL_FAKE_CHATBOX_WINDOW
#include <tests/fakes/chatbox_window.h>
#endif

namespace {

using namespace fake_chatbox;

bool HasArg(int argc, char** argv, std::string_view wanted) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == wanted) return true;
  }
  return false;
}

void SayLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  platform::FollowScratchUserRoot();
  platform::WriteStandardStreamsAsBytes();
  if (const std::optional<int> exitCode = RunPackageStart(argc, argv)) return *exitCode;

  const std::optional<ClientVersion> client =
      ClientVersionNamed(platform::ProcessVariable("TIDEWELL_FAKE_CHATBOX_VERSION"));
  if (!client) {
    std::fprintf(stderr, "unknown TIDEWELL_FAKE_CHATBOX_VERSION (1.20.0 or 1.9.8)\n");
    return 2;
  }
  const auto file = SettingsFile();
  if (HasArg(argc, argv, "--describe")) {
    const LoadedStore loaded = LoadStore(*client, OpenStore(file));
    SayLine(DescribeView(ViewOf(*client, loaded.held)));
    if (HasArg(argc, argv, "--chats")) SayLine(DescribeChats(loaded.browser));
    return 0;
  }
  CheckSandbox(argc, argv);

  // Stop requests are taken by one waiting thread only, whichever runs.
  platform::TakeStopRequests();

  std::unique_ptr<SingleInstance> instance;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (SingleInstance::Take(file.parent_path(), args, &instance) == SingleInstance::Claim::Second) {
    return 0;  // the running one comes forward instead
  }

  const LoadedStore loaded = LoadStore(*client, OpenStore(file));
  if (const int error = SaveStore(file, loaded.file); error != 0) {
    std::fprintf(stderr, "cannot write %s (errno %d)\n", fake_text::PathText(file).c_str(), error);
  }
  const UserView view = ViewOf(*client, loaded.held);
  SayLine(DescribeView(view));

  std::thread listener;
  if (instance) {
    listener = std::thread([&instance] {
      while (instance->NextStart()) {
        std::fprintf(stderr, "second start: window brought forward\n");
        std::fflush(stderr);
      }
    });
  }

  std::atomic<bool> ending{false};
#ifdef TIDEWELL_FAKE_CHATBOX_WINDOW
  std::thread signals([&ending] {
    platform::WaitForStopRequest();
    ending = true;
  });
  if (!RunWindow(argc, argv, view, ending)) signals.join();
  if (signals.joinable()) {
    // The window was closed by the user: the app quits like on a signal.
    if (!ending) platform::ReleaseStopWaiter();
    signals.join();
  }
#else
  platform::WaitForStopRequest();
  ending = true;
#endif

  // The store replaces only its settings: other keys written meanwhile stay,
  // settings written meanwhile are lost.
  const Json::Value onDisk = OpenStore(file);
  if (const int error = SaveStore(file, FileWithSettings(*client, onDisk, loaded.held));
      error != 0) {
    std::fprintf(stderr, "cannot write %s (errno %d)\n", fake_text::PathText(file).c_str(), error);
  }
  if (instance) {
    instance->Close();
    if (listener.joinable()) listener.join();
  }
  return 0;
}
