// The package builder against small copies of the real release files: the
// runner's .tgz and .tar.zst (bin/ollama and lib/ollama with .so link
// chains) and an AppImage, and against everything it must refuse.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <package/package_extract.h>
#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// What the real runner prints for --version with no server to ask.
constexpr const char* kVersionScript =
    "#!/bin/sh\n"
    "[ \"$1\" = --version ] || exit 2\n"
    "echo 'Warning: could not connect to a running Ollama instance'\n"
    "echo 'Warning: client version is 0.14.1'\n";

// A type 2 AppImage's opening: a 64-bit ELF header marked "AI\x02" at offset
// 8 whose section headers end at 64, where the squashfs image starts.
std::string AppImageBytes() {
  std::string bytes(
      "\x7f"
      "ELF\x02\x01\x01\x00"
      "AI\x02\x00\x00\x00\x00\x00",
      16);
  bytes.append(24, '\0');
  bytes.append(std::string("\x40\0\0\0\0\0\0\0", 8));  // e_shoff 64, no section headers
  bytes.append(16, '\0');
  bytes.append("hsqs");
  bytes.append(200, 'x');
  return bytes;
}

class PackageBuilderTest : public ::testing::Test {
 protected:
  PackageBuilderTest() {
    client_ = home_.root() / "Chatbox-1.20.0-x86_64.AppImage";
    std::ofstream(client_, std::ios::binary) << AppImageBytes();
    fs::permissions(client_, fs::perms::owner_all);
  }

  // The release's tree as the runner's build lays it out.
  fs::path MakeTree(const std::string& name, const std::string& runner = kVersionScript) {
    const fs::path tree = home_.root() / "trees" / name;
    fs::create_directories(tree / "bin");
    fs::create_directories(tree / "lib/ollama/cuda_v12");
    fs::create_directories(tree / "lib/ollama/mlx_cuda_v12");
    WriteScript(tree / "bin/ollama", runner);
    fs::permissions(tree / "bin/ollama", fs::perms(0755));  // as released
    std::ofstream(tree / "lib/ollama/libggml-base.so.0.0.0") << "library";
    fs::create_symlink("libggml-base.so.0.0.0", tree / "lib/ollama/libggml-base.so.0");
    fs::create_symlink("libggml-base.so.0", tree / "lib/ollama/libggml-base.so");
    std::ofstream(tree / "lib/ollama/cuda_v12/libcublas.so.12") << "cublas";
    fs::create_symlink("../cuda_v12/libcublas.so.12",
                       tree / "lib/ollama/mlx_cuda_v12/libcublas.so.12");
    return tree;
  }

  // tar's own way, as the release is made: "." and "./bin/ollama" names,
  // gzip or zstd; extra names are added as given (-P keeps them verbatim).
  fs::path Pack(const fs::path& tree, const std::string& file, bool zstd,
                const std::vector<std::string>& extra = {}) {
    const fs::path archive = home_.root() / file;
    std::string command = "tar -c -P -C '" + tree.string() + "' .";
    for (const std::string& name : extra) command += " '" + name + "'";
    command += zstd ? " | zstd -q -o '" + archive.string() + "'"
                    : " | gzip -c > '" + archive.string() + "'";
    EXPECT_EQ(RunChild({"/bin/bash", "-o", "pipefail", "-c", command}, 60).exitCode, 0) << command;
    return archive;
  }

  ChildResult Build(const std::vector<std::string>& inputs) {
    std::vector<std::string> argv = {"/bin/bash", TIDEWELL_BUILD_PACKAGE_SCRIPT};
    argv.insert(argv.end(), inputs.begin(), inputs.end());
    argv.insert(argv.end(), {"--out", Out().string(), "--setup", built::SetupProgram(), "--attach",
                             built::AttachPayloadProgram()});
    return RunChildWithOutput(argv, 120);
  }
  fs::path Out() const { return home_.root() / "out" / "deepseek.zip"; }

  TempHome home_;
  fs::path client_;
};

// The Unix mode of each entry of the runner's payload, read from the setup.
std::map<std::string, std::uint32_t> PayloadModes(const fs::path& setup) {
  std::map<std::string, std::uint32_t> modes;
  HZIP zip = ZipOpenFile(platform::WidePath(setup), nullptr);
  if (zip == nullptr) return modes;
  ZipEntry entry;
  ZipItemInfo(zip, -1, &entry);
  for (int i = 0, count = entry.index; i < count; ++i) {
    if (ZipItemInfo(zip, i, &entry) == ZR_OK) {
      modes[platform::WideToOsNarrow(entry.name)] = entry.unixMode;
    }
  }
  ZipClose(zip);
  return modes;
}

TEST_F(PackageBuilderTest, BothReleaseArchiveKindsBuildAPackageThatInstallsWithItsLinks) {
  const fs::path tree = MakeTree("release");
  // Known by content: the .tar.zst also under a name that says nothing.
  const std::vector<fs::path> archives = {Pack(tree, "ollama-linux-amd64.tgz", false),
                                          Pack(tree, "ollama-linux-amd64.tar.zst", true),
                                          Pack(tree, "runner-download", true)};
  for (const fs::path& archive : archives) {
    SCOPED_TRACE(archive.filename().string());
    fs::remove_all(home_.root() / "package");
    const ChildResult build = Build({"--runner", archive.string(), "--client", client_.string()});
    ASSERT_EQ(build.exitCode, 0) << build.output << build.errors;
    EXPECT_NE(build.output.find("runner: Warning: client version is 0.14.1"), std::string::npos)
        << build.output;
    // Unpacked as the assistant does: into <folder>/deepseek/deepseek/.
    ExtractPackageTo(platform::WidePath(Out()), platform::WidePath(home_.root() / "package"));
    const fs::path unpacked = home_.root() / "package" / "deepseek";
    const fs::path setup = unpacked / "deepseek" / "OllamaSetup";

    const std::map<std::string, std::uint32_t> modes = PayloadModes(setup);
    ASSERT_TRUE(modes.count("lib/ollama/libggml-base.so"));
    EXPECT_EQ(modes.at("lib/ollama/libggml-base.so") & S_IFMT, static_cast<unsigned>(S_IFLNK));
    EXPECT_EQ(modes.at("lib/ollama/mlx_cuda_v12/libcublas.so.12") & S_IFMT,
              static_cast<unsigned>(S_IFLNK));
    EXPECT_EQ(modes.at("bin/ollama") & 0777, 0755u);

    const fs::path install = unpacked / "ollama_location";
    const ChildResult run =
        RunChildWithOutput({setup.string(), "/silent", "/dir=" + install.string()}, 60);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(fs::read_symlink(install / "lib/ollama/libggml-base.so"), "libggml-base.so.0");
    EXPECT_EQ(fs::read_symlink(install / "lib/ollama/libggml-base.so.0"), "libggml-base.so.0.0.0");
    EXPECT_EQ(ReadTextFile(install / "lib/ollama/mlx_cuda_v12/libcublas.so.12"), "cublas");
    const ChildResult version =
        RunChildWithOutput({(install / "ollama").string(), "--version"}, 60);
    EXPECT_NE(version.output.find("client version is 0.14.1"), std::string::npos);

    const fs::path client = unpacked / "chatbox_location";
    const ChildResult clientRun =
        RunChildWithOutput({(setup.parent_path() / "Chatbox-1.9.8-Setup").string(), "/silent",
                            "/dir=" + client.string()},
                           60);
    ASSERT_EQ(clientRun.exitCode, 0) << clientRun.errors;
    EXPECT_EQ(ReadTextFile(client / "Chatbox"), AppImageBytes());
  }
}

TEST_F(PackageBuilderTest, WhatIsNotTheExpectedKindOfFileIsRefusedAndNothingIsWritten) {
  const fs::path tree = MakeTree("release");
  const fs::path tgz = Pack(tree, "ollama-linux-amd64.tgz", false);
  const fs::path zst = Pack(tree, "ollama-linux-amd64.tar.zst", true);
  const fs::path plain = WriteScript(home_.root() / "plain-ollama", kVersionScript);

  fs::create_directories(home_.root() / "outside");
  std::ofstream(home_.root() / "outside" / "evil.txt") << "evil";
  const fs::path climbing = Pack(tree, "climbing.tgz", false, {"../../outside/evil.txt"});
  const fs::path absolute =
      Pack(tree, "absolute.tar.zst", true, {(home_.root() / "outside" / "evil.txt").string()});
  const fs::path shared = MakeTree("shared");
  fs::create_directories(shared / "share");
  std::ofstream(shared / "share" / "x") << "x";
  const fs::path outsideLink = MakeTree("outside-link");
  fs::create_symlink("../../../etc/passwd", outsideLink / "lib/ollama/libbad.so");
  const fs::path absoluteLink = MakeTree("absolute-link");
  fs::create_symlink("/etc/passwd", absoluteLink / "lib/ollama/libbad.so");
  const fs::path noRunner = MakeTree("no-runner");
  fs::remove(noRunner / "bin/ollama");

  struct Case {
    std::vector<std::string> inputs;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--runner-program", tgz.string(), "--client", client_.string()},
       "is not a program: it is a gzip-compressed archive"},
      {{"--runner-program", zst.string(), "--client", client_.string()},
       "is not a program: it is a zstd-compressed archive"},
      {{"--runner", plain.string(), "--client", client_.string()},
       "is not the runner's release archive (a gzip- or zstd-compressed tar): it is a script"},
      {{"--runner", tgz.string(), "--client", zst.string()},
       "is not an AppImage (an ELF program marked \"AI\\x02\" at offset 8"},
      {{"--runner", tgz.string(), "--client", built::SetupProgram()}, "is not an AppImage"},
      {{"--runner", tgz.string(), "--client-program", client_.string()}, "is an AppImage"},
      {{"--runner", climbing.string(), "--client", client_.string()}, "it climbs with \"..\""},
      {{"--runner", absolute.string(), "--client", client_.string()}, "an absolute path"},
      {{"--runner", Pack(shared, "shared.tgz", false).string(), "--client", client_.string()},
       "only bin/ and lib/ belong at the top"},
      {{"--runner", Pack(outsideLink, "outside-link.tgz", false).string(), "--client",
        client_.string()},
       "it leads out of the runner's folder"},
      {{"--runner", Pack(absoluteLink, "absolute-link.tar.zst", true).string(), "--client",
        client_.string()},
       "only relative targets are kept"},
      {{"--runner", Pack(noRunner, "no-runner.tgz", false).string(), "--client", client_.string()},
       "has no runnable bin/ollama"},
      {{"--runner",
        Pack(MakeTree("failing", "#!/bin/sh\necho 'cannot execute binary file' >&2\nexit 126\n"),
             "failing.tar.zst", true)
            .string(),
        "--client", client_.string()},
       "the runner does not run here: "},
      {{"--runner", Pack(MakeTree("silent", "#!/bin/sh\nexit 0\n"), "silent.tgz", false).string(),
        "--client", client_.string()},
       "the runner printed no version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const ChildResult build = Build(c.inputs);
    EXPECT_EQ(build.exitCode, 1);
    EXPECT_NE(build.errors.find("build_package.sh: "), std::string::npos) << build.errors;
    EXPECT_NE(build.errors.find(c.message), std::string::npos) << build.errors;
    EXPECT_EQ(build.output.find("built"), std::string::npos);
    EXPECT_FALSE(fs::exists(Out().parent_path()));
  }
  EXPECT_EQ(ReadTextFile(home_.root() / "outside" / "evil.txt"), "evil");
}

}  // namespace
