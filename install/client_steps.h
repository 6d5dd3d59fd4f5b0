#pragma once
// The install steps of the chat client: its files and its settings change.
#include <memory>

#include <install/install_steps.h>

namespace install_step {

std::unique_ptr<InstallStep> MakeClientStep();
std::unique_ptr<InstallStep> MakeClientSettingsStep();

}  // namespace install_step
