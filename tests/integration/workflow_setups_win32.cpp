#include <tests/integration/workflow_setups.h>

#include <windows.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include <setup/payload_trailer.h>
#include <tests/support/built_programs.h>

namespace workflow {

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Our setup program with the payload and its trailer appended, as
// attach_payload makes it.
std::string SetupCarrying(const std::string& program, const std::string& payload) {
  setup::PayloadSlice slice;
  slice.offset = program.size();
  slice.size = payload.size();
  slice.crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(payload.data()), static_cast<uInt>(payload.size())));
  return program + payload + setup::EncodeTrailer(slice);
}

}  // namespace

std::vector<ZipBuildEntry> PackageSetups(const SetupsWanted& wanted) {
  const std::string program = ReadBytes(built::SetupProgram());
  std::vector<ZipBuildEntry> entries;
  if (wanted.runnerSetup) {
    // A setup that leaves no runner still installs something, and succeeds.
    const std::string payload =
        wanted.setupInstallsRunner
            ? BuildZip({FileEntry("ollama.exe", ReadBytes(wanted.runner))})
            : BuildZip({FileEntry("readme.txt", "nothing to run\n")});
    entries.push_back(FileEntry("deepseek/OllamaSetup.exe", SetupCarrying(program, payload)));
  }
  if (wanted.clientSetup) {
    const std::string payload =
        BuildZip({FileEntry("Chatbox.exe", ReadBytes(built::FakeChatboxProgram()))});
    entries.push_back(
        FileEntry("deepseek/Chatbox-1.9.8-Setup.exe", SetupCarrying(program, payload)));
  }
  return entries;
}

std::filesystem::path OneCardNvidiaSmi(const std::filesystem::path& folder) {
  // The probe program answers as nvidia-smi under that name; the mode is
  // inherited by the detection's child.
  std::filesystem::create_directories(folder);
  const std::filesystem::path smi = folder / "nvidia-smi.exe";
  std::filesystem::copy_file(TIDEWELL_PROBE_PROGRAM, smi,
                             std::filesystem::copy_options::overwrite_existing);
  ::SetEnvironmentVariableW(L"TIDEWELL_FAKE_SMI", L"one");
  return smi;
}

bool SettingsAreFiles() { return false; }

bool SetupNotesTheStore() { return false; }

bool SetupsCarryVariables() { return false; }

}  // namespace workflow
