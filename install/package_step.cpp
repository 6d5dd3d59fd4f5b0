#include <install/package_step.h>

#include <filesystem>

#include <base/file_helpers.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/owned_files.h>
#include <install/local_package.h>
#include <package/download_folder.h>
#include <package/file_downloader.h>
#include <package/package_digest.h>
#include <package/package_unpack.h>
#include <platform/atomic_file.h>
#include <platform/disk_space.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <work/notify_center.h>

namespace {

bool Stopped(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(); }

void Discard(const std::wstring& archive) {
  std::error_code ec;
  std::filesystem::remove(platform::OsPath(archive), ec);
}

// A download that left no package, in the words of its cause.
PackageOutcome DownloadFault(int errorCode, const std::wstring& archive) {
  PackageOutcome outcome;
  outcome.doneBytes = downloadBytesDone.load();
  outcome.totalBytes = downloadBytesTotal.load();
  outcome.locations = GetFileDownloader().locationsTried;
  switch (errorCode) {
    case CFileDownloader::kDigestError:
      outcome.fault = PackageFault::Damaged;
      return outcome;
    case CURLE_HTTP_RETURNED_ERROR:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_UNSUPPORTED_PROTOCOL:
      outcome.fault = PackageFault::DownloadFailed;
      return outcome;
    case CFileDownloader::kTempFileError:
    case CFileDownloader::kMoveError:
    case CURLE_WRITE_ERROR: {
      // Where it could not be written: the partial file's folder, then the
      // one that keeps the package.
      const std::uint64_t needed = static_cast<std::uint64_t>(outcome.totalBytes);
      for (const std::wstring& folder :
           {platform::OsNarrowToWide(PrivateDownloadFolder()),
            platform::WidePath(platform::OsPath(archive).parent_path())}) {
        const auto free = platform::FreeDiskSpace(folder);
        if (needed > 0 && free && *free < needed) {
          outcome.fault = PackageFault::NoSpace;
          outcome.neededBytes = needed;
          outcome.freeBytes = *free;
          return outcome;
        }
      }
      outcome.fault = PackageFault::SaveFailed;
      return outcome;
    }
    default:
      outcome.fault = PackageFault::DownloadBroke;
      return outcome;
  }
}

}  // namespace

namespace {

PackageOutcome FetchAndUnpack(const Installation& installation, const std::atomic<bool>* cancel) {
  // A package chosen on disk needs neither an address nor the kept archive.
  if (!installation.localPackage.empty()) return UnpackLocalPackage(installation, cancel);
  const std::wstring& installFolder = installation.layout.installFolder;
  const std::vector<std::string> locations = installation.packageUrls.empty()
                                                 ? std::vector<std::string>{installation.packageUrl}
                                                 : installation.packageUrls;
  if (locations.front().empty()) {
    GetEventReporter().Report("noUrlDeepseek");
    return FaultOutcome(PackageFault::NoConfig);
  }
  const std::wstring archive = PackageArchivePath();
  // A kept archive is used only while it is still the package announced.
  if (FileExists(archive)) {
    const DigestCheck check = CheckPackageDigest(archive, installation.packageSha256, cancel);
    if (check == DigestCheck::Cancelled) return FaultOutcome(PackageFault::Cancelled);
    if (check != DigestCheck::Match) Discard(archive);
  }
  if (Stopped(cancel)) return FaultOutcome(PackageFault::Cancelled);
  if (!FileExists(archive)) {
    platform::CreatePrivateFolders(platform::OsPath(archive).parent_path());
    int errorCode = 0;
    const bool fetched =
        GetFileDownloader().Download(locations, platform::WideToOsNarrow(archive), errorCode,
                                     installation.packageSha256, cancel);
    if (Stopped(cancel)) return FaultOutcome(PackageFault::Cancelled);
    if (!fetched || !FileExists(archive)) return DownloadFault(errorCode, archive);
  }
  const UnpackResult unpacked = UnpackPackageInto(archive, installFolder, cancel);
  if (unpacked.fault == UnpackFault::Archive) Discard(archive);
  if (PackageOutcome outcome = UnpackOutcome(unpacked, PackageFault::Damaged);
      outcome.fault != PackageFault::None) {
    return outcome;
  }
  const InstallLayout& layout = installation.layout;
  if (FileExists(layout.chatboxSetup) && FileExists(layout.ollamaSetup)) return {};
  // Whole, but not the package: the next click downloads it again.
  Discard(archive);
  return FaultOutcome(PackageFault::Damaged);
}

}  // namespace

PackageOutcome FetchAndUnpackPackage(const Installation& installation,
                                     const std::atomic<bool>* cancel) {
  // The unpack replaces its folder as a whole: never one of the user's.
  const InstallLayout& layout = installation.layout;
  const auto standing = platform::IdentityAt(layout.unpackFolder);
  if (!standing || (standing->kind != platform::ObjectKind::Missing &&
                    !LoadInstallRecord().IsOurs(layout.unpackFolder))) {
    PackageOutcome outcome = FaultOutcome(PackageFault::NotOurs);
    outcome.installFolder = layout.installFolder;
    outcome.foreignName = platform::WidePath(platform::OsPath(layout.unpackFolder).filename());
    return outcome;
  }
  PackageOutcome outcome = FetchAndUnpack(installation, cancel);
  // Recorded whatever the outcome: a folder the unpack left is ours too.
  RecordTree(layout.unpackFolder, "package");
  return outcome;
}

void PostPackageOutcome(int installation, PackageOutcome outcome, ConfigFetch config, long status) {
  if (outcome.fault == PackageFault::None) {
    PostUIEvent<EventDownModelChanged3>(
        [installation](EventDownModelChanged3& e) { e.installation = installation; });
    return;
  }
  if (outcome.fault == PackageFault::NoConfig) {
    outcome.config = config;
    outcome.status = status;
  }
  PostUIEvent<EventQrCodeDisChanged3>([installation, outcome](EventQrCodeDisChanged3& e) {
    e.installation = installation;
    e.cause = PackageFaultText(outcome);
  });
}

void PreparePackage(int number, const Installation& installation, const std::atomic<bool>* cancel,
                    ConfigFetch config, long status) {
  PostPackageOutcome(number, FetchAndUnpackPackage(installation, cancel), config, status);
}
