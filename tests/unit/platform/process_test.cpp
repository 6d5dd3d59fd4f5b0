#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>

#include <platform/posix/process_lookup_posix.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(Process, ArgumentsReachTheProgramUninterpreted) {
  TempHome home;
  // A program whose own path is hostile: blanks, quotes, ';', '$(...)', Chinese.
  const fs::path dir = home.root() / "安装 目录 it's; $(touch pwned)";
  const fs::path script =
      WriteScript(dir / "echo args", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$OUT\"");
  const fs::path out = home.root() / "out.txt";
  ::setenv("OUT", out.c_str(), 1);
  auto child = platform::StartProcess(
      {script.string(), "/dir=C:\\a b", "$(touch pwned2)", "x;y", "`id`", "中文"});
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Wait(), 0);
  EXPECT_EQ(ReadTextFile(out), "[/dir=C:\\a b][$(touch pwned2)][x;y][`id`][中文]");
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(fs::exists("pwned2"));
  ::unsetenv("OUT");
}

TEST(Process, ExitCodesAndStartFailures) {
  auto child = platform::StartProcess({"/bin/sh", "-c", "exit 7"});
  ASSERT_NE(child, nullptr);
  EXPECT_GT(child->Id(), 0);
  EXPECT_EQ(child->Wait(), 7);
  EXPECT_EQ(child->Wait(), 7);  // waiting twice is harmless
  EXPECT_EQ(platform::StartProcess({"/nonexistent/program"}), nullptr);
  EXPECT_EQ(platform::StartProcess({}), nullptr);
  EXPECT_EQ(platform::StartWithOutputPipe({"/nonexistent/program"}), nullptr);
}

// The blocked and ignored signal masks of /proc/self/status as a child sees
// them, limited to the classic signals 1 to 31 (the C library keeps two of its
// own above those ignored in every child it spawns).
std::pair<unsigned long long, unsigned long long> ChildSignalMasks() {
  auto pipe = platform::StartWithOutputPipe({"cat", "/proc/self/status"});
  if (!pipe) return {~0ull, ~0ull};
  unsigned long long blocked = ~0ull;
  unsigned long long ignored = ~0ull;
  char buffer[512];
  std::size_t length = 0;
  while (pipe->ReadPiece(buffer, sizeof buffer, &length)) {
    const std::string line(buffer, length);
    const auto mask = [&] { return std::stoull(line.substr(7), nullptr, 16) & 0x7fffffffull; };
    if (line.rfind("SigBlk:", 0) == 0) blocked = mask();
    if (line.rfind("SigIgn:", 0) == 0) ignored = mask();
  }
  pipe->Close();
  return {blocked, ignored};
}

TEST(Process, ChildrenStartWithNoSignalBlockedOrIgnored) {
  // As during a transfer: SIGPIPE ignored, and this thread blocks a signal.
  struct sigaction ignore {};
  struct sigaction saved {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &saved);
  sigset_t block;
  sigset_t savedMask;
  ::sigemptyset(&block);
  ::sigaddset(&block, SIGUSR2);
  ::pthread_sigmask(SIG_BLOCK, &block, &savedMask);
  const auto [blocked, ignored] = ChildSignalMasks();
  ::pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
  ::sigaction(SIGPIPE, &saved, nullptr);
  EXPECT_EQ(blocked, 0u);
  EXPECT_EQ(ignored, 0u);
}

std::size_t ThreadCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++count;
  return count;
}

TEST(Process, DetachedChildrenAreReapedWithoutAThreadEach) {
  std::vector<long> pids;
  std::size_t threadsBefore = 0;
  for (int i = 0; i < 16; ++i) {
    platform::StartOptions options;
    options.detached = true;
    auto child = platform::StartProcess({"sleep", "30"}, options);
    ASSERT_NE(child, nullptr);
    pids.push_back(child->Id());
    child.reset();
    // Counted once the first child has its reaper; fifteen more add none.
    if (i == 0) threadsBefore = ThreadCount();
  }  // every handle dropped unwaited
  // One more is allowed for a thread a sanitizer's runtime may start meanwhile.
  EXPECT_LE(ThreadCount(), threadsBefore + 1);
  for (long pid : pids) platform::TerminateProcessById(pid);
  // Reaped: the process entry is gone, not left as a zombie.
  EXPECT_TRUE(Eventually([&] {
    for (long pid : pids) {
      if (::kill(static_cast<pid_t>(pid), 0) == 0) return false;
    }
    return true;
  }));
  auto quick = platform::StartProcess({"true"});
  ASSERT_NE(quick, nullptr);
  const long quickPid = quick->Id();
  quick.reset();
  EXPECT_TRUE(Eventually([&] { return ::kill(static_cast<pid_t>(quickPid), 0) != 0; }));
}

TEST(Process, OutputPipeReadsPiecesLikeFgets) {
  auto pipe = platform::StartWithOutputPipe(
      {"/bin/sh", "-c", "printf 'one\\ntwo-long-line\\nthree'; exit 3"});
  ASSERT_NE(pipe, nullptr);
  char buffer[8];
  std::size_t length = 0;
  std::vector<std::string> pieces;
  while (pipe->ReadPiece(buffer, sizeof buffer, &length)) pieces.emplace_back(buffer, length);
  EXPECT_EQ(pieces, (std::vector<std::string>{"one\n", "two-lon", "g-line\n", "three"}));
  EXPECT_EQ(pipe->Close(), 3);
}

}  // namespace

namespace {

TEST(ProcessLookup, FindsAndTerminatesAProgramByItsFileName) {
  TempHome home;
  // A private copy under a unique name, so no other process can match.
  const fs::path program = home.root() / "tidewell-lookup-probe";
  fs::copy_file("/bin/sleep", program);
  auto child = platform::StartProcess({program.string(), "30"});
  ASSERT_NE(child, nullptr);
  std::optional<long> found;
  for (int i = 0; i < 100 && !found; ++i) {
    found = platform::FindProcessByName("tidewell-lookup-probe");
    if (!found) platform::SleepMilliseconds(20);
  }
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, child->Id());
  EXPECT_TRUE(platform::TerminateProcessById(*found));
  EXPECT_EQ(child->Wait(), -1);  // ended by the signal
  EXPECT_FALSE(platform::FindProcessByName("tidewell-no-such-program").has_value());
  EXPECT_FALSE(platform::TerminateProcessById(0));
}

TEST(ProcessLookup, ProgramWhoseFileWasRemovedIsStillFound) {
  TempHome home;
  const fs::path program = home.root() / "tidewell-deleted-probe";
  fs::copy_file("/bin/sleep", program);
  auto child = platform::StartProcess({program.string(), "30"});
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(Eventually(
      [&] { return platform::FindProcessByName("tidewell-deleted-probe").has_value(); }));
  fs::remove(program);  // as an update replaces the runner's file
  const auto found = platform::FindProcessByName("tidewell-deleted-probe");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, child->Id());
  platform::TerminateProcessById(*found);
  child->Wait();
}

void FakeProcess(const fs::path& proc, const std::string& pid, const std::string& exe,
                 const std::string& comm) {
  fs::create_directories(proc / pid);
  if (!exe.empty()) fs::create_symlink(exe, proc / pid / "exe");
  std::ofstream(proc / pid / "comm") << comm << "\n";
}

TEST(ProcessLookup, CutNameCountsOnlyWithoutAnExecutableAndOnlyOwnProcesses) {
  TempHome home;
  const fs::path proc = home.root() / "proc";
  const std::string longName = "Chatbox-1.9.8-Setup";
  FakeProcess(proc, "10", "/opt/other/other-program", longName.substr(0, 15));
  FakeProcess(proc, "20", "", "Chatbox-1.9.8-S");  // exe unreadable: comm decides
  FakeProcess(proc, "30", "/opt/ollama/ollama (deleted)", "ollama");
  FakeProcess(proc, "self", "/bin/x", "x");
  const uid_t me = ::getuid();
  EXPECT_EQ(platform::posix::FindProcessIn(proc, me, longName), 20);
  EXPECT_EQ(platform::posix::FindProcessIn(proc, me, "ollama"), 30);
  EXPECT_FALSE(platform::posix::FindProcessIn(proc, me, "other").has_value());
  EXPECT_FALSE(platform::posix::FindProcessIn(proc, me + 1, "ollama").has_value());
  EXPECT_FALSE(platform::posix::FindProcessIn(proc, me + 1, longName).has_value());
}

}  // namespace
