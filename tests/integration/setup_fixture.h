#pragma once
// The setup program as the engine runs it: made with a payload by the attach
// tool, then started with the vendors' switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace setup_test {

namespace fs = std::filesystem;

// A path as a command-line argument in the system's narrow encoding.
inline std::string Arg(const fs::path& path) {
  return platform::WideToOsNarrow(platform::WidePath(path));
}

// A program's file name here (".exe" added on Windows).
inline std::string ProgramName(const std::string& name) {
  return platform::WideToOsNarrow(platform::OsNarrowToWide(name) + platform::ExecutableSuffix());
}

inline constexpr const wchar_t* kClientSetupKey =
    L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251";

inline ZipBuildEntry Executable(const std::string& name, const std::string& data) {
  ZipBuildEntry entry = FileEntry(name, data);
  entry.externalAttributes = 0100755u << 16;
  return entry;
}

// Compressible but varied, so its deflated form is long.
inline std::string RunnerBytes() {
  std::string bytes;
  for (int i = 0; bytes.size() < 200000; ++i) bytes += "line " + std::to_string(i * 7919) + "\n";
  return bytes;
}

inline std::vector<ZipBuildEntry> RunnerPayload() {
  return {DirectoryEntry("bin/"), Executable("ollama", "#!/bin/sh\necho runner\n"),
          Executable("bin/ollama", RunnerBytes()), FileEntry("lib/readme.txt", "r")};
}

// Everything in folder, for "nothing else was left here".
inline std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class SetupTest : public ::testing::Test {
 protected:
  // A setup file carrying payload, made by the attach tool.
  fs::path MakeSetup(const std::string& payload, const std::string& name = "OllamaSetup") {
    const fs::path zip = home_.root() / (name + ".zip");
    std::ofstream(zip, std::ios::binary) << payload;
    const fs::path setup =
        home_.root() / "deepseek" / platform::OsPath(platform::OsNarrowToWide(ProgramName(name)));
    fs::create_directories(setup.parent_path());
    const ChildResult made = RunChild(
        {built::AttachPayloadProgram(), built::SetupProgram(), Arg(zip), Arg(setup)}, 60);
    EXPECT_EQ(made.exitCode, 0);
    return setup;
  }
  ChildResult Run(const fs::path& setup, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Arg(setup)};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChildWithOutput(argv, 60);
  }
  // An older install with a file and a folder of its own.
  void PlantOlderInstall(const fs::path& target) {
    fs::create_directories(target / "old-folder");
    std::ofstream(target / "old-only.txt") << "old";
    std::ofstream(target / "ollama") << "old runner";
  }
  TempHome home_;
};

}  // namespace setup_test
