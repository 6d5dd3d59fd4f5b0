// One whole installation through the engine as the window drives it (the
// install click with the first model, deepseek-r1:1.5b), against the vendor
// service named by TIDEWELL_SERVICE_URL. scripts/check_real_package.sh runs
// it with a package built from the real release files; it is no test of CI.
//
//   real_install_check INSTALL_FOLDER [MINUTES]
//
// Exit 0 when the ready page shows, 1 when the engine stops on a message or
// the time runs out (what the window showed is printed), 2 usage.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <net/http_client.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>
#include <service/service_state.h>
#include <tests/support/engine_harness.h>

namespace {

void PrintView(RecordingView& view) {
  std::printf("stage: %s\n", StageName(view.Stage()));
  for (const std::wstring& message : view.messages) {
    std::printf("message: %s\n", platform::WideToUtf8(message).c_str());
  }
  for (const std::wstring& question : view.questions) {
    std::printf("question (answered yes): %s\n", platform::WideToUtf8(question).c_str());
  }
  const EngineState& state = view.state;
  for (const std::wstring* text : {&state.readyModel, &state.installPull.line, &state.cause}) {
    std::printf("%s\n", platform::WideToUtf8(*text).c_str());
  }
  const auto pulls = view.pulls.find(0);
  if (pulls != view.pulls.end() && !pulls->second.empty()) {
    const PullProgress& last = pulls->second.back();
    std::printf("pull: %d %%, error: %s\n", last.percent, last.errorText.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* service = std::getenv("TIDEWELL_SERVICE_URL");
  if (argc < 2 || argc > 3 || service == nullptr || *service == '\0') {
    std::fprintf(stderr,
                 "usage: TIDEWELL_SERVICE_URL=http://127.0.0.1:PORT "
                 "real_install_check INSTALL_FOLDER [MINUTES]\n");
    return 2;
  }
  const std::filesystem::path install = std::filesystem::absolute(argv[1]);
  const int minutes = argc == 3 ? std::atoi(argv[2]) : 30;

  // As the program starts: work folder, libcurl, the vendor's configuration.
  CServiceState& state = GetServiceState();
  state.PrepareWorkFolder();
  EnsureCurlGlobalInit();
  state.FetchRemoteConfig();
  if (state.packageUrl.empty()) {
    std::fprintf(stderr, "real_install_check: the vendor service gave no package address\n");
    return 1;
  }
  std::printf("package: %s\ninstall folder: %s\n", state.packageUrl.c_str(), install.c_str());
  std::fflush(stdout);

  bool ready = false;
  {
    EngineHarness harness;
    harness.OnUI([&] {
      harness.view().installFolder = platform::WidePath(install);
      harness.view().answerContinue = true;
      harness.engine().OnRemoteConfigReady();
      harness.ClickInstall();
    });
    harness.WaitUntil(
        [](RecordingView& v) { return v.Ready() || !v.messages.empty(); },
        std::chrono::minutes(minutes));
    harness.OnUI([&] {
      ready = harness.view().Ready() && harness.view().messages.empty();
      PrintView(harness.view());
    });
  }
  std::fflush(stdout);
  return ready ? 0 : 1;
}
