#pragma once
// The two setups the workflow tests' package carries, in this system's own
// shape: scripts on Linux, our setup program with a payload on Windows.
#include <filesystem>
#include <string>
#include <vector>

#include <tests/support/zip_builder.h>

namespace workflow {

struct SetupsWanted {
  bool runnerSetup = true;
  bool clientSetup = true;
  bool setupInstallsRunner = true;  // false: the runner's setup leaves no runner
  std::filesystem::path runner;     // the runner stand-in
  std::filesystem::path installFolder;
  std::filesystem::path storeRecord;  // where a setup notes OLLAMA_MODELS, when it can
  // "NAME=value" settings the installed runner always runs with (another
  // release played, a runner that ends while loading), and a mark that
  // makes the client's files differ from another package's. Only where
  // SetupsCarryVariables().
  std::vector<std::string> runnerVariables;
  std::string clientMark;
};

std::vector<ZipBuildEntry> PackageSetups(const SetupsWanted& wanted);
// Whether the runner's setup notes the store it was handed in storeRecord
// (the scripts can; our setup program does not).
bool SetupNotesTheStore();
// Whether the setups install runnerVariables and clientMark (the scripts
// can; our setup program installs its payload as it is).
bool SetupsCarryVariables();
// An nvidia-smi stand-in in folder that tells of one RTX 3060 with 12 GB,
// as the real tool does for its name and memory query.
std::filesystem::path OneCardNvidiaSmi(const std::filesystem::path& folder);
// Whether our own settings lie in files of the settings folder (on Windows
// they are in the registry and the folder may never be made).
bool SettingsAreFiles();

}  // namespace workflow
