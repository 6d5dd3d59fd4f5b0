#pragma once
// The install steps of the runner side: its model store, the OLLAMA_MODELS
// entry, the runner's files, its server and the login registration.
#include <memory>

#include <install/install_steps.h>

namespace install_step {

std::unique_ptr<InstallStep> MakeStoreStep();
std::unique_ptr<InstallStep> MakeEnvironmentStep();
std::unique_ptr<InstallStep> MakeRunnerStep();
std::unique_ptr<InstallStep> MakeServerStep();
std::unique_ptr<InstallStep> MakeLoginStep();

}  // namespace install_step
