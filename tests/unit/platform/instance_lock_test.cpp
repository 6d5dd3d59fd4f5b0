#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

#include <platform/instance_lock.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;
using platform::InstanceLockResult;

// A session without a runtime folder: the lock must live in a folder of the
// user's own below the shared temporary folder.
class NoRuntimeFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_ = home_.root() / "tmp";
    fs::create_directories(tmp_);
    fs::permissions(tmp_, fs::perms::all | fs::perms::sticky_bit);
    Save("TMPDIR");
    Save("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  void Save(const std::string& name) {
    const char* value = ::getenv(name.c_str());
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  fs::path UserFolder() const { return tmp_ / ("tidewell-" + std::to_string(::geteuid())); }
  InstanceLockResult Acquire(std::unique_ptr<platform::InstanceLock>* lock) {
    return platform::AcquireInstanceLock(L"test-lock", lock);
  }

  TempHome home_;
  fs::path tmp_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(NoRuntimeFolder, LockLivesInAPrivateFolderOfTheUser) {
  std::unique_ptr<platform::InstanceLock> lock;
  ASSERT_EQ(Acquire(&lock), InstanceLockResult::Acquired);
  EXPECT_EQ(ModeOf(UserFolder()), 0700);
  EXPECT_EQ(ModeOf(UserFolder() / "test-lock.lock"), 0600);
  EXPECT_FALSE(fs::exists(tmp_ / "test-lock.lock"));  // nothing in the shared folder
  std::unique_ptr<platform::InstanceLock> second;
  EXPECT_EQ(Acquire(&second), InstanceLockResult::AlreadyHeld);
}

TEST_F(NoRuntimeFolder, OwnFolderLeftOpenIsClosedFirst) {
  fs::create_directories(UserFolder());
  ::chmod(UserFolder().c_str(), 0777);
  std::unique_ptr<platform::InstanceLock> lock;
  ASSERT_EQ(Acquire(&lock), InstanceLockResult::Acquired);
  EXPECT_EQ(ModeOf(UserFolder()), 0700);
}

TEST_F(NoRuntimeFolder, PlantedFolderOrLinkIsAFailureNotAnotherInstance) {
  // A link in place of the folder, pointing where someone else chose.
  const fs::path elsewhere = home_.root() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, UserFolder());
  std::unique_ptr<platform::InstanceLock> lock;
  EXPECT_EQ(Acquire(&lock), InstanceLockResult::Failed);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  fs::remove(UserFolder());

  // A folder of that name that belongs to another user.
  if (::geteuid() != 0) GTEST_SKIP() << "handing a folder to another user needs root";
  fs::create_directories(UserFolder());
  ASSERT_EQ(::chown(UserFolder().c_str(), 65534, 65534), 0);
  EXPECT_EQ(Acquire(&lock), InstanceLockResult::Failed);
}

TEST(InstanceLockFile, PlantedLinkAtTheLockIsNotFollowed) {
  TempHome home;  // the runtime folder is set here
  const fs::path victim = home.root() / "victim";
  std::ofstream(victim) << "keep";
  fs::create_symlink(victim, home.root() / "run" / "test-lock.lock");
  std::unique_ptr<platform::InstanceLock> lock;
  EXPECT_EQ(platform::AcquireInstanceLock(L"test-lock", &lock), InstanceLockResult::Failed);
  EXPECT_EQ(ReadTextFile(victim), "keep");
}

}  // namespace
