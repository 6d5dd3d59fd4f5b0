// The whole-or-nothing unpack: what each failure is blamed on, and that a
// failed unpack leaves the base folder exactly as it was.
#include <gtest/gtest.h>

#include <cstring>

#include <package/zip_source.h>

#include "package_unpack_fixture.h"

namespace {

using namespace package_unpack_test;

// Exactly the good entries are in base/deepseek after result's unpack.
void ExpectGoodEntriesIn(const fs::path& base, const UnpackResult& result,
                         const std::vector<ZipBuildEntry>& entries) {
  EXPECT_EQ(result.fault, UnpackFault::None);
  EXPECT_EQ(result.neededBytes, SizeOf(entries));
  const std::map<std::string, std::string> expected = {
      {"deepseek", "/"},
      {"deepseek/deepseek", "/"},
      {"deepseek/deepseek/OllamaSetup", "runner setup"},
      {"deepseek/deepseek/Chatbox-1.9.8-Setup",
       "200000 bytes, hash " + std::to_string(std::hash<std::string>{}(entries[2].data))},
      {"deepseek/readme", ""}};
  EXPECT_EQ(Snapshot(base), expected);  // nothing older, no staging folder left
  EXPECT_EQ(ModeOf(base / "deepseek"), 0700);
}

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
  };
  const std::vector<ZipBuildEntry> entries = GoodEntries();
  Write(archive(), BuildZip(entries));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(base());
    c.plant(base());
    ExpectGoodEntriesIn(base(), Unpack(), entries);
  }
}

TEST_F(PackageUnpackTest, ALinkInTheFoldersPlaceGoesNotWhatItLedTo) {
  const fs::path elsewhere = base().parent_path() / "elsewhere";
  Write(elsewhere / "keep", "kept");
  fs::create_directories(base());
  if (!PlantFolderLink(base() / "deepseek", elsewhere)) GTEST_SKIP() << "no folder links here";
  const std::vector<ZipBuildEntry> entries = GoodEntries();
  Write(archive(), BuildZip(entries));
  ExpectGoodEntriesIn(base(), Unpack(), entries);
  EXPECT_EQ(Snapshot(elsewhere), (std::map<std::string, std::string>{{"keep", "kept"}}));
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
  };
  const std::vector<Case> cases = {
      {"a file where the base folder should be",
       [](const fs::path& base) { Write(base, "a file"); }},
      {"a file where a parent of the base folder should be",
       [](const fs::path& base) { Write(base.parent_path(), "a file"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = home_.root() / "case" / "base";
    c.plant(folder);
    const auto before = Snapshot(home_.root() / "case");
    const UnpackResult result =
        UnpackPackageInto(platform::WidePath(archive()), platform::WidePath(folder), nullptr);
    EXPECT_EQ(result.fault, UnpackFault::Folder);
    EXPECT_EQ(Snapshot(home_.root() / "case"), before);
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

}  // namespace
