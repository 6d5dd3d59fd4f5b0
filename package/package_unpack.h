#pragma once
// Unpacking the install package as a whole or not at all: the entries go to
// a private staging folder beside the final one, which takes the final name
// only when every entry arrived whole. A failure says whose fault it was:
// the archive's (discard it), the folder's (keep it), the disk's (with the
// figures) or the user's cancel.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class ZipSource;

// The staging folders' names start so (one left by a run that died midway
// is ours to remove).
inline constexpr char kUnpackStagingPrefix[] = ".tidewell-unpack-";

enum class UnpackFault { None, Archive, Folder, NoSpace, Cancelled };

struct UnpackResult {
  UnpackFault fault = UnpackFault::None;
  std::uint64_t neededBytes = 0;  // the unpacked size of all entries, once the archive opened
  std::uint64_t freeBytes = 0;    // free space in the base folder when fault == NoSpace
};

// Unpacks archivePath (no password) into baseFolder/<archive file name
// without its last extension>. An existing folder of that name is replaced
// as a whole (moved aside by rename, then removed without following links);
// on any failure baseFolder is left as it was (a missing one is made for the
// staging folder and removed again). Leftover staging folders of an earlier
// run that died midway are removed first.
//   Archive:   cannot be opened, is not a zip, an entry is damaged (CRC,
//              inflate, a corrupt record, a read error) or its name cannot be
//              made.
//   Folder:    baseFolder cannot be made or written (read-only, permission,
//              a file in the way, a create or write error not caused by
//              space).
//   NoSpace:   the free space is below neededBytes before anything is
//              written, or a write failed for want of space.
//   Cancelled: *cancel became true; looked at before each entry and between
//              the output blocks of an entry. cancel may be null.
UnpackResult UnpackPackageInto(const std::wstring& archivePath, const std::wstring& baseFolder,
                               const std::atomic<bool>* cancel);

// The same for an archive already open as a source, into
// baseFolder/folderName (one plain name, not "." or "..").
UnpackResult UnpackSourceInto(std::shared_ptr<ZipSource> source, const std::wstring& folderName,
                              const std::wstring& baseFolder, const std::atomic<bool>* cancel);

// Tests measure free space their own way; null restores the volume's own
// figures.
using UnpackFreeSpaceProbe = std::optional<std::uint64_t> (*)(const std::wstring& folder);
void SetUnpackFreeSpaceProbe(UnpackFreeSpaceProbe probe);
