#include <install/runner_login.h>

#include <install/install_layout.h>
#include <install/runner_server.h>
#include <platform/login_program.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>

namespace {

constexpr char kLoginId[] = "tidewell-ollama";

platform::LoginProgram RunnerServerProgram(const InstallLayout& layout) {
  platform::LoginProgram program;
  program.id = kLoginId;
  program.description = "Tidewell local model runner";
  program.argv = {platform::WideToOsNarrow(layout.ollamaExecutable), "serve"};
  program.environment = {"OLLAMA_HOST=" + RunnerServerHostPort(),
                         "OLLAMA_MODELS=" + platform::WideToOsNarrow(layout.modelStore)};
  return program;
}

}  // namespace

bool RegisterRunnerServerAtLogin(const InstallLayout& layout) {
  return platform::RegisterLoginProgram(RunnerServerProgram(layout));
}

bool RunnerServerRegisteredAtLogin(const InstallLayout& layout) {
  return platform::IsLoginProgramRegistered(RunnerServerProgram(layout));
}

bool RegisterRunnerServerAtLogin() { return RegisterRunnerServerAtLogin(CurrentInstallLayout()); }

void UnregisterRunnerServerAtLogin() { platform::UnregisterLoginProgram(kLoginId); }
