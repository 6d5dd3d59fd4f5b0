// What the reader does with POSIX file modes and times, descriptors that
// cannot seek, and a device that is always full: Windows has no file modes
// or access times we set, no /dev/full, and its pipes are not descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zip_reader_fixture.h"

namespace {

using namespace zip_reader_test;

TEST_F(ZipReaderTest, UnixModesSurviveExtraction) {
  HZIP zip = Open(BuildZip(AttributeEntries()));
  EXPECT_EQ(ExtractAll(zip), std::vector<ZRESULT>(6, ZR_OK));
  ZipClose(zip);
  struct stat info {};
  ASSERT_EQ(::stat((root_ / "setup.sh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);  // setups stay runnable
  ASSERT_EQ(::stat((root_ / "ro.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0222, 0u);
}

TEST_F(ZipReaderTest, ExtractedFilesKeepTheirWriteAndAccessTimes) {
  HZIP zip = Open(BuildZip(TimestampEntries()));
  EXPECT_EQ(ExtractAll(zip), std::vector<ZRESULT>(2, ZR_OK));
  ZipClose(zip);
  struct stat info {};
  ASSERT_EQ(::stat((root_ / "stamped").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1700000000);
  EXPECT_EQ(info.st_atime, 1700000100);
}

TEST_F(ZipReaderTest, APipeIsNoArchive) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_EQ(ZipOpenDescriptor(fds[0], nullptr), nullptr);
  EXPECT_EQ(ZipLastResult(), ZR_SEEK);
  ::close(fds[0]);
  ::close(fds[1]);
}

// The whole sequence: a cancel after a failed write also clears its error.
TEST_F(ZipReaderTest, AFailedWriteSaysWhyAndACancelStopsExtraction) {
  // Small entries are written in place, large ones behind on a thread.
  for (const std::size_t size : {std::size_t{100000}, std::size_t{9} << 20}) {
    SCOPED_TRACE(size);
    HZIP zip = Open(BuildZip({FileEntry("a.bin", Noise(size, 1)), FileEntry("b.bin", "b")}));
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipLastOsError(zip), 0);
    int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);  // every write: no space left
    ASSERT_GE(full, 0);
    EXPECT_EQ(ZipExtractItem(zip, 0, &full, 0, ZIP_HANDLE), ZR_WRITE);
    EXPECT_EQ(ZipLastOsError(zip), ENOSPC);
    ::close(full);

    const std::atomic<bool> cancel{true};
    EXPECT_EQ(ZipSetCancel(zip, &cancel), ZR_OK);
    EXPECT_EQ(ZipExtractItemToFile(zip, 0, L"a.bin"), ZR_ABORT);
    EXPECT_FALSE(fs::exists(root_ / "a.bin"));  // nothing half-written stays
    EXPECT_EQ(ZipLastOsError(zip), 0);
    EXPECT_EQ(ZipSetCancel(zip, nullptr), ZR_OK);
    EXPECT_EQ(ZipExtractItemToFile(zip, 1, L"b.bin"), ZR_OK);
    EXPECT_EQ(ZipClose(zip), ZR_OK);
  }
}

}  // namespace
