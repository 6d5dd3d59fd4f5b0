#include <tests/integration/workflow_setups.h>

#include <string>

#include <tests/support/temp_home.h>

namespace workflow {

namespace {

ZipBuildEntry Executable(const std::string& name, const std::string& body) {
  ZipBuildEntry entry = FileEntry(name, "#!/bin/sh\n" + body);
  entry.externalAttributes = 0100755u << 16;
  return entry;
}

// The runner program beside a starter that gives it the variables: the
// process that runs is still the program in the runner folder.
std::string RunnerWithVariables(const SetupsWanted& wanted) {
  std::string starter = "#!/bin/sh\n";
  for (const std::string& variable : wanted.runnerVariables) starter += "export " + variable + "\n";
  starter += "exec \"$(dirname \"$0\")/ollama-program\" \"$@\"\n";
  return "cp '" + wanted.runner.string() + "' \"$d/ollama-program\"\ncat > \"$d/ollama\" <<'EOF'\n" +
         starter + "EOF\nchmod 755 \"$d/ollama\"\n";
}

}  // namespace

std::vector<ZipBuildEntry> PackageSetups(const SetupsWanted& wanted) {
  std::vector<ZipBuildEntry> entries;
  if (wanted.runnerSetup) {
    entries.push_back(Executable(
        "deepseek/OllamaSetup",
        "for a in \"$@\"; do case \"$a\" in /dir=*) d=\"${a#/dir=}\";; esac; done\n"
        "printf '%s' \"${OLLAMA_MODELS-unset}\" > '" +
            wanted.storeRecord.string() + "'\n" +
            std::string(!wanted.setupInstallsRunner ? "exit 1\n"
                        : wanted.runnerVariables.empty()
                            ? "cp '" + wanted.runner.string() + "' \"$d/ollama\"\n"
                            : RunnerWithVariables(wanted))));
  }
  if (wanted.clientSetup) {
    const std::filesystem::path client = wanted.installFolder / "chatbox_location";
    entries.push_back(Executable(
        "deepseek/Chatbox-1.9.8-Setup",
        "mkdir -p '" + client.string() + "'\nprintf '#!/bin/sh\\n# " + wanted.clientMark +
            "\\nexec sleep 600\\n' > '" +
            client.string() + "/Chatbox'\nchmod 755 '" + client.string() + "/Chatbox'\n"));
  }
  return entries;
}

std::filesystem::path OneCardNvidiaSmi(const std::filesystem::path& folder) {
  return WriteScript(folder / "nvidia-smi",
                     "[ \"$1\" = --query-gpu=name,memory.total ] || exit 2\n"
                     "[ \"$2\" = --format=csv,noheader ] || exit 2\n"
                     "echo 'NVIDIA GeForce RTX 3060, 12288 MiB'\n");
}

bool SettingsAreFiles() { return true; }

bool SetupNotesTheStore() { return true; }

bool SetupsCarryVariables() { return true; }

}  // namespace workflow
