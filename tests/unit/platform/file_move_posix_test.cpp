#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <platform/file_move.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// A folder on another file system than the temporary home, or empty.
fs::path OtherFileSystemFolder(const fs::path& home) {
  struct stat homeInfo {};
  struct stat shmInfo {};
  if (::stat(home.c_str(), &homeInfo) != 0 || ::stat("/dev/shm", &shmInfo) != 0) return {};
  if (homeInfo.st_dev == shmInfo.st_dev || ::access("/dev/shm", W_OK) != 0) return {};
  std::string pattern = "/dev/shm/tidewell-move-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

class CrossFileSystemMove : public ::testing::Test {
 protected:
  void SetUp() override {
    other_ = OtherFileSystemFolder(home_.root());
    if (other_.empty()) GTEST_SKIP() << "no second writable file system here";
    source_ = other_ / "download.part";
    std::ofstream out(source_, std::ios::binary);
    content_.assign(4 << 20, 'z');
    out << content_;
  }
  void TearDown() override {
    std::error_code ec;
    if (!other_.empty()) fs::remove_all(other_, ec);
  }
  std::size_t EntriesIn(const fs::path& folder) const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
  }

  TempHome home_;
  fs::path other_;
  fs::path source_;
  std::string content_;
};

TEST_F(CrossFileSystemMove, CopiesWholeKeepsTheModeAndRemovesTheSource) {
  ::chmod(source_.c_str(), 0640);
  const fs::path target = home_.root() / "deepseek.zip";
  ASSERT_EQ(platform::MoveFileNoReplace(source_, target), platform::kSuccess);
  EXPECT_EQ(ReadTextFile(target), content_);
  EXPECT_EQ(ModeOf(target), 0640);
  EXPECT_FALSE(fs::exists(source_));
  EXPECT_EQ(EntriesIn(home_.root()), 5u);  // no temporary left beside it
}

TEST_F(CrossFileSystemMove, ExistingDestinationIsKept) {
  const fs::path target = home_.root() / "deepseek.zip";
  std::ofstream(target) << "earlier";
  EXPECT_EQ(platform::MoveFileNoReplace(source_, target), platform::kErrorAlreadyExists);
  EXPECT_EQ(ReadTextFile(target), "earlier");
  EXPECT_TRUE(fs::exists(source_));
}

// The process dies mid-copy (here: killed by the file-size limit). The final
// name must not exist: a later run would take a partial file for the package.
TEST_F(CrossFileSystemMove, ProcessKilledMidCopyLeavesNoFileUnderTheFinalName) {
  const fs::path target = home_.root() / "deepseek.zip";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    platform::MoveFileNoReplace(source_, target);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));  // it really died mid-copy
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(ReadTextFile(source_), content_);
}

}  // namespace
