// The whole-or-nothing unpack: what each failure is blamed on, and that a
// failed unpack leaves the base folder exactly as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include <package/package_unpack.h>
#include <package/zip_source.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Everything below root as path -> content ("/" for a folder, "-> target"
// for a link), links never followed.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::end(it); it.increment(ec)) {
    const std::string name = fs::relative(it->path(), root).string();
    if (it->is_symlink()) {
      tree[name] = "-> " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      tree[name] = "/";
    } else {
      const std::string content = ReadTextFile(it->path());
      tree[name] = content.size() <= 64 ? content
                                        : std::to_string(content.size()) + " bytes, hash " +
                                              std::to_string(std::hash<std::string>{}(content));
    }
  }
  return tree;
}

std::vector<ZipBuildEntry> GoodEntries() {
  return {DirectoryEntry("deepseek/"), FileEntry("deepseek/OllamaSetup", "runner setup"),
          FileEntry("deepseek/Chatbox-1.9.8-Setup", Noise(200000, 3)), FileEntry("readme", "")};
}

std::uint64_t SizeOf(const std::vector<ZipBuildEntry>& entries) {
  std::uint64_t size = 0;
  for (const auto& entry : entries) size += entry.data.size();
  return size;
}

// Noise deflates to stored blocks: a piece from the middle of the entry's
// data is found as it is, away from any header.
std::string WithDataByteFlipped(std::string archive, const std::string& data) {
  const std::size_t at = archive.find(data.substr(data.size() / 2, 64));
  if (at != std::string::npos) archive[at + 32] ^= 0x5A;
  return archive;
}

std::uint64_t g_probeFree = 0;
std::optional<std::uint64_t> ProbeFree(const std::wstring&) { return g_probeFree; }

class PackageUnpackTest : public ::testing::Test {
 protected:
  ~PackageUnpackTest() override { SetUnpackFreeSpaceProbe(nullptr); }
  fs::path base() const { return home_.root() / "安装 目录"; }
  fs::path archive() const { return home_.root() / "archives" / "deepseek.zip"; }
  // An older unpack of the package, already in place.
  void PlantOlderUnpack() {
    Write(base() / "deepseek" / "deepseek" / "OllamaSetup", "older runner setup");
    Write(base() / "deepseek" / "stale", "from an older package");
    Write(base() / "beside", "not ours");
  }
  UnpackResult Unpack(const std::atomic<bool>* cancel = nullptr) {
    return UnpackPackageInto(platform::WidePath(archive()), platform::WidePath(base()), cancel);
  }
  TempHome home_;
};

TEST_F(PackageUnpackTest, AGoodArchiveReplacesTheOlderFolderAsAWhole) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& base)> plant;
  };
  const std::vector<Case> cases = {
      {"no folder yet", [](const fs::path&) {}},
      {"an older unpack",
       [](const fs::path& base) {
         Write(base / "deepseek" / "deepseek" / "OllamaSetup", "older");
         Write(base / "deepseek" / "stale", "older");
       }},
      {"a file in the folder's place",
       [](const fs::path& base) { Write(base / "deepseek", "a file"); }},
      {"a link in the folder's place, to a folder elsewhere",
       [](const fs::path& base) {
         Write(base.parent_path() / "elsewhere" / "keep", "kept");
         fs::create_directories(base);
         fs::create_directory_symlink(base.parent_path() / "elsewhere", base / "deepseek");
       }},
  };
  const std::vector<ZipBuildEntry> entries = GoodEntries();
  Write(archive(), BuildZip(entries));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(base());
    fs::remove_all(base().parent_path() / "elsewhere");
    c.plant(base());
    const UnpackResult result = Unpack();
    EXPECT_EQ(result.fault, UnpackFault::None);
    EXPECT_EQ(result.neededBytes, SizeOf(entries));
    const std::map<std::string, std::string> expected = {
        {"deepseek", "/"},
        {"deepseek/deepseek", "/"},
        {"deepseek/deepseek/OllamaSetup", "runner setup"},
        {"deepseek/deepseek/Chatbox-1.9.8-Setup",
         "200000 bytes, hash " + std::to_string(std::hash<std::string>{}(entries[2].data))},
        {"deepseek/readme", ""}};
    EXPECT_EQ(Snapshot(base()), expected);  // nothing older, no staging folder left
    EXPECT_EQ(ModeOf(base() / "deepseek"), 0700);
    if (fs::exists(base().parent_path() / "elsewhere")) {  // the link went, not what it led to
      EXPECT_EQ(Snapshot(base().parent_path() / "elsewhere"),
                (std::map<std::string, std::string>{{"keep", "kept"}}));
    }
  }
}

TEST_F(PackageUnpackTest, AFailedUnpackLeavesTheBaseFolderAsItWas) {
  const std::vector<ZipBuildEntry> good = GoodEntries();
  ZipBuildEntry badCrc = FileEntry("deepseek/OllamaSetup", "runner setup");
  badCrc.breakCrc = true;
  ZipBuildEntry locked = FileEntry("deepseek/OllamaSetup", "runner setup");
  locked.password = "secret";
  struct Case {
    const char* what;
    std::optional<std::string> archiveBytes;  // none: no archive at all
    UnpackFault fault;
    bool cancelled;
    std::optional<std::uint64_t> free;  // what the free-space probe says
  };
  const std::string goodZip = BuildZip(good);
  const std::string flipped = WithDataByteFlipped(goodZip, good[2].data);
  ASSERT_NE(flipped, goodZip);
  const std::vector<Case> cases = {
      {"a byte of an entry's data flipped", flipped, UnpackFault::Archive, false, std::nullopt},
      {"a wrong CRC in the last entry", BuildZip({good[0], good[2], badCrc}), UnpackFault::Archive,
       false, std::nullopt},
      {"the archive cut short", goodZip.substr(0, goodZip.size() / 2), UnpackFault::Archive, false,
       std::nullopt},
      {"not a zip", std::string("PK but nothing more"), UnpackFault::Archive, false, std::nullopt},
      {"no archive", std::nullopt, UnpackFault::Archive, false, std::nullopt},
      {"an entry that needs a password", BuildZip({good[0], locked}), UnpackFault::Archive, false,
       std::nullopt},
      {"a file and a folder of one name",
       BuildZip({FileEntry("deepseek/a", "file"), FileEntry("deepseek/a/b", "under it")}),
       UnpackFault::Archive, false, std::nullopt},
      {"cancelled before the start", goodZip, UnpackFault::Cancelled, true, std::nullopt},
      {"less free space than the entries need", goodZip, UnpackFault::NoSpace, false,
       SizeOf(good) - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(home_.root());
    fs::create_directories(home_.root());
    PlantOlderUnpack();
    if (c.archiveBytes) Write(archive(), *c.archiveBytes);
    if (c.free) {
      g_probeFree = *c.free;
      SetUnpackFreeSpaceProbe(&ProbeFree);
    } else {
      SetUnpackFreeSpaceProbe(nullptr);
    }
    const auto before = Snapshot(base());
    const std::atomic<bool> cancel{c.cancelled};
    const UnpackResult result = Unpack(&cancel);
    EXPECT_EQ(result.fault, c.fault);
    EXPECT_EQ(Snapshot(base()), before);
    if (c.fault == UnpackFault::NoSpace) {
      EXPECT_EQ(result.neededBytes, SizeOf(good));
      EXPECT_EQ(result.freeBytes, *c.free);
    }
  }
}

TEST_F(PackageUnpackTest, TheBaseFoldersOwnFaultsAreTheFolders) {
  Write(archive(), BuildZip(GoodEntries()));
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> plant;
    bool rootWritesAnyway;
  };
  const std::vector<Case> cases = {
      {"a file where the base folder should be",
       [](const fs::path& base) { Write(base, "a file"); }, false},
      {"a file where a parent of the base folder should be",
       [](const fs::path& base) { Write(base.parent_path(), "a file"); }, false},
      {"a base folder without write permission",
       [](const fs::path& base) {
         fs::create_directories(base);
         fs::permissions(base, fs::perms::owner_read | fs::perms::owner_exec);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.rootWritesAnyway && ::geteuid() == 0) continue;  // root writes there regardless
    const fs::path folder = home_.root() / "case" / "base";
    c.plant(folder);
    const auto before = Snapshot(home_.root() / "case");
    const UnpackResult result =
        UnpackPackageInto(platform::WidePath(archive()), platform::WidePath(folder), nullptr);
    EXPECT_EQ(result.fault, UnpackFault::Folder);
    EXPECT_EQ(Snapshot(home_.root() / "case"), before);
    std::error_code ec;
    fs::permissions(folder, fs::perms::owner_all, ec);
    fs::remove_all(home_.root() / "case");
  }
}

// The archive's bytes, with the cancel flag set once a read of the entries'
// data (before dataEnd) reaches past cancelAt: a cancel that comes while an
// entry is being written. The directory and the tail are read freely.
class CancellingSource : public ZipSource {
 public:
  CancellingSource(std::string bytes, std::uint64_t cancelAt, std::uint64_t dataEnd,
                   std::atomic<bool>* cancel)
      : bytes_(std::move(bytes)), cancelAt_(cancelAt), dataEnd_(dataEnd), cancel_(cancel) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  long long Read(std::uint64_t offset, void* buffer, std::size_t length) const override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    // The search for the directory reads the archive's tail.
    if (offset >= dataEnd_ || offset + n == bytes_.size()) return static_cast<long long>(n);
    const std::uint64_t end = offset + n;
    std::uint64_t seen = furthest_.load();
    while (end > seen && !furthest_.compare_exchange_weak(seen, end)) {
    }
    if (end > cancelAt_) cancel_->store(true);
    return static_cast<long long>(n);
  }
  std::uint64_t furthest() const { return furthest_.load(); }

 private:
  std::string bytes_;
  std::uint64_t cancelAt_;
  std::uint64_t dataEnd_;
  std::atomic<bool>* cancel_;
  mutable std::atomic<std::uint64_t> furthest_{0};
};

TEST_F(PackageUnpackTest, ACancelInsideALargeEntryStopsItThere) {
  // Below and above the size from which entries are read ahead and written
  // behind on threads of their own.
  for (const std::size_t size : {std::size_t{6} << 20, std::size_t{48} << 20}) {
    SCOPED_TRACE(size);
    fs::remove_all(home_.root());
    PlantOlderUnpack();
    ZipBuildEntry large = FileEntry("deepseek/large.bin", Noise(size, 3));
    large.deflate = false;  // its data lies in the archive as it is
    const std::string bytes = BuildZip({FileEntry("deepseek/first", "small"), large});
    const std::size_t dataAt = bytes.find(large.data);
    ASSERT_NE(dataAt, std::string::npos);
    std::atomic<bool> cancel{false};
    auto source =
        std::make_shared<CancellingSource>(bytes, dataAt + size / 4, dataAt + size, &cancel);
    const auto before = Snapshot(base());
    const UnpackResult result =
        UnpackSourceInto(source, L"deepseek", platform::WidePath(base()), &cancel);
    EXPECT_EQ(result.fault, UnpackFault::Cancelled);
    EXPECT_EQ(Snapshot(base()), before);
    // Stopped within a few blocks of the cancel, not at the entry's end.
    EXPECT_LT(source->furthest(), dataAt + size / 2);
  }
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
