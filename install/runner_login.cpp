#include <install/runner_login.h>

#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/runner_server.h>
#include <platform/login_program.h>
#include <platform/os_encoding.h>

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
  // A registration of that name that the record does not hold is the
  // user's own: never replaced.
  if (LoadInstallRecord().FindValue("login", kLoginId) == nullptr &&
      platform::IsLoginIdTaken(kLoginId)) {
    return false;
  }
  if (!platform::RegisterLoginProgram(RunnerServerProgram(layout))) return false;
  return UpdateInstallRecord([&](InstallRecord& record) {
    record.SetValue("login", kLoginId, layout.ollamaExecutable);
  });
}

bool RunnerServerRegisteredAtLogin(const InstallLayout& layout) {
  return platform::IsLoginProgramRegistered(RunnerServerProgram(layout));
}

bool UnregisterRunnerServerAtLogin() {
  // Only a registration the record says we made.
  if (LoadInstallRecord().FindValue("login", kLoginId) == nullptr) return false;
  platform::UnregisterLoginProgram(kLoginId);
  UpdateInstallRecord([](InstallRecord& record) { record.DropValue("login", kLoginId); });
  return true;
}
