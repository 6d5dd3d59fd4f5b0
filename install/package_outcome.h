#pragma once
// How the installation's first half (configuration, package) ended, and the
// line the window shows under the install image when it ended without a
// package: the cause in plain words and what to do next.
#include <cstdint>
#include <string>

#include <service/service_state.h>

enum class PackageFault {
  None,
  NoConfig,        // no package address: the configuration failed or named none
  Cancelled,       // the user closed the download overlay
  DownloadBroke,   // the transfer ended early, after retries
  DownloadFailed,  // the server refused the package (an error status)
  Damaged,         // the package is not the announced one, or not a whole archive
  NoSpace,         // the disk cannot hold it
  FolderNotWritable,
  NotOurs,  // a folder the package would replace is not one we made
  SaveFailed,  // the per-user data folder cannot hold the package
  Internal,    // a step failed for a reason of the program's own
  // The package the user chose on disk (it is never removed):
  LocalUnreadable,  // it cannot be opened or read, or is not a file
  LocalNotZip,      // it is not a zip archive at all
  LocalDamaged,     // a zip, but an entry is damaged or cannot be unpacked
  LocalNoSetup,     // whole, but a setup program is missing
  LocalMismatch,    // not the package the configuration announced
};

struct PackageOutcome {
  PackageFault fault = PackageFault::None;
  ConfigFetch config = ConfigFetch::Applied;  // NoConfig: how the request ended
  long status = 0;                            // NoConfig: the HTTP status
  long long doneBytes = 0;                    // DownloadBroke
  long long totalBytes = 0;                   // 0 when never announced
  int locations = 0;                          // download faults: locations asked
  std::uint64_t neededBytes = 0;              // NoSpace
  std::uint64_t freeBytes = 0;
  std::wstring installFolder;  // NotOurs: where, and the folder's name
  std::wstring foreignName;
};

struct UnpackResult;

// An outcome that is only its fault.
PackageOutcome FaultOutcome(PackageFault fault);
// How an unpack ended, as the package step's outcome; a fault of the archive
// is archiveFault (the caller's words for it), the others are the disk's, the
// folder's or the user's.
PackageOutcome UnpackOutcome(const UnpackResult& unpacked, PackageFault archiveFault);

// The line under the install image; empty for None.
std::wstring PackageFaultText(const PackageOutcome& outcome);
// The same for a configuration that failed, when the customer-service
// address was asked for.
std::wstring ConfigFaultText(ConfigFetch config, long status);
