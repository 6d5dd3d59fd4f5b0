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

}  // namespace

std::vector<ZipBuildEntry> PackageSetups(const SetupsWanted& wanted) {
  std::vector<ZipBuildEntry> entries;
  if (wanted.runnerSetup) {
    entries.push_back(Executable(
        "deepseek/OllamaSetup",
        "for a in \"$@\"; do case \"$a\" in /dir=*) d=\"${a#/dir=}\";; esac; done\n"
        "printf '%s' \"${OLLAMA_MODELS-unset}\" > '" +
            wanted.storeRecord.string() + "'\n" +
            std::string(wanted.setupInstallsRunner
                            ? "cp '" + wanted.runner.string() + "' \"$d/ollama\"\n"
                            : "exit 1\n")));
  }
  if (wanted.clientSetup) {
    const std::filesystem::path client = wanted.installFolder / "chatbox_location";
    entries.push_back(Executable(
        "deepseek/Chatbox-1.9.8-Setup",
        "mkdir -p '" + client.string() + "'\nprintf '#!/bin/sh\\nexec sleep 600\\n' > '" +
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

}  // namespace workflow
