#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <platform/instance_lock.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <platform/user_namespaces.h>

#include <tests/support/child.h>

#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kProbe = TIDEWELL_PROBE_PROGRAM;

template <typename Cond>
bool Eventually(Cond cond) {
  for (int i = 0; i < 2000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}

bool IsRunning(long id) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return false;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

std::string Output(std::unique_ptr<platform::OutputPipe>& pipe) {
  std::string output;
  char buffer[4096];
  for (long n; (n = pipe->ReadSome(buffer, sizeof buffer, -1)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  return output;
}

TEST(ProcessWin32, ExitCodesAndStartFailures) {
  auto child = platform::StartProcess({kProbe, "exit", "7"});
  ASSERT_NE(child, nullptr);
  EXPECT_GT(child->Id(), 0);
  EXPECT_EQ(child->Wait(), 7);
  EXPECT_EQ(child->Wait(), 7);  // waiting twice is harmless
  EXPECT_TRUE(child->HasExited());
  EXPECT_EQ(platform::StartProcess({"C:\\nonexistent\\program.exe"}), nullptr);
  EXPECT_EQ(platform::StartProcess({}), nullptr);
  EXPECT_EQ(platform::StartWithOutputPipe({"C:\\nonexistent\\program.exe"}), nullptr);
}

TEST(ProcessWin32, OutputPipeReadsPiecesLikeFgets) {
  auto pipe = platform::StartWithOutputPipe({kProbe, "pieces"});
  ASSERT_NE(pipe, nullptr);
  char buffer[8];
  std::size_t length = 0;
  std::vector<std::string> pieces;
  while (pipe->ReadPiece(buffer, sizeof buffer, &length)) pieces.emplace_back(buffer, length);
  EXPECT_EQ(pieces, (std::vector<std::string>{"one\n", "two-lon", "g-line\n", "three"}));
  EXPECT_EQ(pipe->Close(), 3);
}

TEST(ProcessWin32, ReadSomeGivesUpAtItsLimitAndKillEndsTheProgram) {
  auto pipe = platform::StartWithOutputPipe({kProbe, "print", "5", "stay"});
  ASSERT_NE(pipe, nullptr);
  char buffer[64];
  std::string got;
  while (got.size() < 5) {
    const long n = pipe->ReadSome(buffer, sizeof buffer, -1);
    ASSERT_GT(n, 0);
    got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, "xxxxx");
  EXPECT_EQ(pipe->ReadSome(buffer, sizeof buffer, 50), 0);  // still running, nothing more
  EXPECT_EQ(pipe->ReadSome(buffer, sizeof buffer, 0), 0);   // the pending read is kept
  pipe->Kill();
  EXPECT_EQ(pipe->ReadSome(buffer, sizeof buffer, -1), -1);
  EXPECT_EQ(pipe->Close(), -1);
}

TEST(ProcessWin32, LargeOutputDoesNotStallTheProgram) {
  auto pipe = platform::StartWithOutputPipe({kProbe, "print", "3000000"});
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(Output(pipe).size(), 3000000u);
  EXPECT_EQ(pipe->Close(), 0);
}

TEST(ProcessWin32, EnvironmentWorkingFolderAndOutputFile) {
  ScratchFolder scratch;
  platform::PipeOptions pipeOptions;
  pipeOptions.environment = {"TIDEWELL_PROBE_VALUE=a b;c", "path=C:\\only-this"};
  auto pipe = platform::StartWithOutputPipe({kProbe, "env", "TIDEWELL_PROBE_VALUE"}, pipeOptions);
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(Output(pipe), "a b;c");
  pipe->Close();
  // Names compare without case: the override replaces PATH, not a second one.
  pipe = platform::StartWithOutputPipe({kProbe, "env", "PATH"}, pipeOptions);
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(Output(pipe), "C:\\only-this");
  pipe->Close();

  platform::StartOptions options;
  options.workingDirectory = scratch.root().string();
  options.outputFile = (scratch.root() / "out.log").string();
  auto child = platform::StartProcess({kProbe, "cwd"}, options);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Wait(), 0);
  child = platform::StartProcess({kProbe, "args", "appended"}, options);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Wait(), 0);
  EXPECT_EQ(ReadWholeFile(scratch.root() / "out.log"), scratch.root().string() + "[appended]");
}

TEST(ProcessWin32, PipeChildrenEndWithUsDetachedOnesOutliveUs) {
  struct Case {
    const char* how;
    bool outlives;
  };
  for (const Case c : {Case{"pipe", false}, Case{"detached", true}}) {
    SCOPED_TRACE(c.how);
    auto holder = platform::StartWithOutputPipe({kProbe, "hold", c.how});
    ASSERT_NE(holder, nullptr);
    // One line: a detached child shares the holder's output and keeps it open.
    char line[64];
    std::size_t length = 0;
    ASSERT_TRUE(holder->ReadPiece(line, sizeof line, &length));
    long id = 0;
    long holderId = 0;
    ASSERT_EQ(std::sscanf(line, "%ld %ld", &id, &holderId), 2);
    ASSERT_TRUE(Eventually([&] { return !IsRunning(holderId); }));
    ASSERT_GT(id, 0);
    if (c.outlives) {
      EXPECT_TRUE(IsRunning(id));
      EXPECT_TRUE(platform::KillProcessById(id));
    }
    EXPECT_TRUE(Eventually([&] { return !IsRunning(id); }));
  }
}

TEST(ChildSupportWin32, RunsBoundedAndKeepsWhatWasPrinted) {
  const ChildResult printed = RunChildWithOutput({kProbe, "args", "a b", ""}, 60);
  EXPECT_TRUE(printed.started);
  EXPECT_EQ(printed.exitCode, 0);
  EXPECT_EQ(printed.output, "[a b][]");
  const ChildResult hung = RunChild({kProbe, "sleep", "600000"}, 0.2);
  EXPECT_TRUE(hung.timedOut);
  EXPECT_EQ(hung.exitCode, -1);
  EXPECT_FALSE(RunChild({"C:\\nonexistent\\x.exe"}, 1).started);
  BackgroundChild background({kProbe, "sleep", "600000"});
  EXPECT_TRUE(background.Running());
  background.Stop();
  EXPECT_FALSE(background.Running());
}

TEST(ProcessLookupWin32, FindsAndEndsOwnProgramsByNameAndFolder) {
  ScratchFolder scratch;
  const fs::path folder = scratch.root() / "runner dir";
  fs::create_directories(folder);
  const fs::path program = folder / "tidewell-lookup-probe.exe";
  fs::copy_file(kProbe, program);
  auto child = platform::StartProcess({program.string(), "sleep", "60000"});
  ASSERT_NE(child, nullptr);
  std::optional<long> found;
  ASSERT_TRUE(Eventually([&] {
    found = platform::FindProcessByName("TIDEWELL-lookup-probe.exe");  // names without case
    return found.has_value();
  }));
  EXPECT_EQ(*found, child->Id());
  EXPECT_EQ(platform::FindProcessesInFolder(folder), std::vector<long>{child->Id()});
  EXPECT_TRUE(platform::FindProcessesInFolder(scratch.root() / "runner").empty());  // a prefix only
  EXPECT_TRUE(platform::TerminateProcessById(*found));
  EXPECT_EQ(child->Wait(), -1);  // ended, not exited
  EXPECT_FALSE(platform::FindProcessByName("tidewell-no-such-program.exe").has_value());
  EXPECT_FALSE(platform::TerminateProcessById(0));
  EXPECT_FALSE(platform::KillProcessById(-5));
}

TEST(InstanceLockWin32, OneHolderAtATimeUntilItLetsGo) {
  const std::wstring name = L"tidewell-test-{" + std::to_wstring(::GetCurrentProcessId()) + L"}";
  std::unique_ptr<platform::InstanceLock> first;
  ASSERT_EQ(platform::AcquireInstanceLock(name, &first), platform::InstanceLockResult::Acquired);
  std::unique_ptr<platform::InstanceLock> second;
  EXPECT_EQ(platform::AcquireInstanceLock(name, &second),
            platform::InstanceLockResult::AlreadyHeld);
  EXPECT_EQ(second, nullptr);
  first.reset();
  EXPECT_EQ(platform::AcquireInstanceLock(name, &second), platform::InstanceLockResult::Acquired);
  for (const std::wstring& bad : {std::wstring(), std::wstring(L"Global\\x"), std::wstring(L"a\0b", 3)}) {
    std::unique_ptr<platform::InstanceLock> lock;
    EXPECT_EQ(platform::AcquireInstanceLock(bad, &lock), platform::InstanceLockResult::Failed);
  }
}

TEST(UserNamespacesWin32, NothingRefusesThem) {
  EXPECT_EQ(platform::UserNamespaceRestriction(), "");
  EXPECT_EQ(platform::UserNamespaceRestrictionIn("C:\\anything"), "");
}

}  // namespace
