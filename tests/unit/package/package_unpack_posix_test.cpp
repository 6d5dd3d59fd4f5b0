// Unpacking where POSIX alone can stage the fault: a folder without write
// permission (Windows' read-only attribute does not keep files out of a
// folder), and full or read-only volumes of their own (a tmpfs in user and
// mount namespaces).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "package_unpack_fixture.h"

namespace {

using namespace package_unpack_test;

TEST_F(PackageUnpackTest, AFolderWithoutWritePermissionIsTheFolders) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes there regardless";
  Write(archive(), BuildZip(GoodEntries()));
  const fs::path folder = home_.root() / "case" / "base";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  const auto before = Snapshot(home_.root() / "case");
  const UnpackResult result =
      UnpackPackageInto(platform::WidePath(archive()), platform::WidePath(folder), nullptr);
  EXPECT_EQ(result.fault, UnpackFault::Folder);
  EXPECT_EQ(Snapshot(home_.root() / "case"), before);
  std::error_code ec;
  fs::permissions(folder, fs::perms::owner_all, ec);
}

// What an unpack in a volume of its own reported, and whether the volume
// was left as it was.
struct VolumeOutcome {
  int fault = -1;
  std::uint64_t needed = 0;
  std::uint64_t free = 0;
  std::uint64_t freeBefore = 0;  // the volume's free space before the unpack
  int unchanged = 0;
};

std::uint64_t VolumeFree(const fs::path& path) {
  struct statvfs info {};
  return ::statvfs(path.c_str(), &info) == 0
             ? static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize
             : 0;
}

// The first measurement sees room that another program takes before the
// entries are written.
int g_probeCalls = 0;
std::optional<std::uint64_t> ProbeRoomThenTheTruth(const std::wstring& folder) {
  const std::uint64_t now = VolumeFree(platform::OsPath(folder));
  return g_probeCalls++ == 0 ? now + (std::uint64_t{64} << 20) : now;
}

// Unpacks archive into a fresh tmpfs of its own (mounted with options,
// read-only when asked) at mountPoint, in a child process with user and
// mount namespaces of its own: real full disks and read-only file systems
// that even root cannot write. Null when this system refuses namespaces.
std::optional<VolumeOutcome> UnpackInVolume(const fs::path& archive, const fs::path& mountPoint,
                                            const std::string& options, bool readOnly,
                                            bool roomThenTheTruth, std::string* why) {
  fs::create_directories(mountPoint);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return std::nullopt;
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    const auto say = [&](const std::string& text) {
      (void)!::write(pipeFds[1], text.data(), text.size());
      ::_exit(0);
    };
    const auto put = [](const char* file, const std::string& text) {
      const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
      const bool ok =
          fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
      if (fd >= 0) ::close(fd);
      return ok;
    };
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) say("skip: no user namespaces");
    if (!put("/proc/self/setgroups", "deny") ||
        !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      say("skip: no identity map");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tidewell-test", mountPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.c_str()) != 0) {
      say("skip: no tmpfs mount");
    }
    Write(mountPoint / "deepseek" / "OllamaSetup", "older");  // an older unpack
    if (readOnly && ::mount(nullptr, mountPoint.c_str(), nullptr,
                            MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) != 0) {
      say("skip: no read-only remount");
    }
    if (roomThenTheTruth) SetUnpackFreeSpaceProbe(&ProbeRoomThenTheTruth);
    const auto before = Snapshot(mountPoint);
    VolumeOutcome outcome;
    outcome.freeBefore = VolumeFree(mountPoint);
    const UnpackResult result =
        UnpackPackageInto(platform::WidePath(archive), platform::WidePath(mountPoint), nullptr);
    outcome.fault = static_cast<int>(result.fault);
    outcome.needed = result.neededBytes;
    outcome.free = result.freeBytes;
    outcome.unchanged =
        Snapshot(mountPoint) == before && VolumeFree(mountPoint) == outcome.freeBefore;
    say(std::to_string(outcome.fault) + " " + std::to_string(outcome.needed) + " " +
        std::to_string(outcome.free) + " " + std::to_string(outcome.freeBefore) + " " +
        std::to_string(outcome.unchanged));
  }
  ::close(pipeFds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (text.rfind("skip", 0) == 0 || text.empty()) {
    *why = text.empty() ? "the child said nothing" : text;
    return std::nullopt;
  }
  VolumeOutcome outcome;
  std::istringstream(text) >> outcome.fault >> outcome.needed >> outcome.free >>
      outcome.freeBefore >> outcome.unchanged;
  return outcome;
}

TEST_F(PackageUnpackTest, FullAndReadOnlyVolumesAreTheDisksAndTheFolders) {
  std::vector<ZipBuildEntry> manySmall;
  for (int i = 0; i < 40; ++i) manySmall.push_back(FileEntry("f" + std::to_string(i), "x"));
  ZipBuildEntry large = FileEntry("large.bin", Noise(12 << 20, 3));
  large.deflate = false;
  struct Case {
    const char* what;
    std::vector<ZipBuildEntry> entries;
    std::string options;
    bool readOnly;
    bool roomThenTheTruth;
    UnpackFault fault;
  };
  const std::vector<Case> cases = {
      {"a read-only volume", GoodEntries(), "size=1m", true, false, UnpackFault::Folder},
      {"less room than the entries' bytes",
       {FileEntry("big", Noise(300000, 3))},
       "size=64k",
       false,
       false,
       UnpackFault::NoSpace},
      {"room for the bytes, not for the files' blocks", manySmall, "size=64k", false, false,
       UnpackFault::NoSpace},
      {"no more inodes", manySmall, "size=1m,nr_inodes=8", false, false, UnpackFault::NoSpace},
      {"the disk filled by another program during a large entry",
       {large},
       "size=8m",
       false,
       true,
       UnpackFault::NoSpace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(home_.root() / "volume");
    Write(archive(), BuildZip(c.entries));
    std::string why;
    const std::optional<VolumeOutcome> outcome = UnpackInVolume(
        archive(), home_.root() / "volume", c.options, c.readOnly, c.roomThenTheTruth, &why);
    if (!outcome) GTEST_SKIP() << why;
    EXPECT_EQ(outcome->fault, static_cast<int>(c.fault));
    EXPECT_EQ(outcome->needed, SizeOf(c.entries));
    EXPECT_EQ(outcome->unchanged, 1);  // the older unpack kept, nothing left behind
    if (c.fault == UnpackFault::NoSpace) {
      EXPECT_EQ(outcome->free, outcome->freeBefore);
    }
  }
}

}  // namespace
