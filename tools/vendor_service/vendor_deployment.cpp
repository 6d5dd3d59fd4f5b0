#include <tools/vendor_service/vendor_deployment.h>

#include <cerrno>
#include <cstring>

#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <platform/whole_file.h>
#include <tools/vendor_service/config_document.h>
#include <tools/vendor_service/vendor_config.h>

namespace {

std::filesystem::path PathOf(const std::string& narrow) {
  return platform::OsPath(platform::OsNarrowToWide(narrow));
}

bool ReadFile(const std::string& path, std::string* bytes, std::string* error) {
  errno = 0;
  if (platform::ReadWholeFileExact(PathOf(path), *bytes)) return true;
  *error = path + ": cannot read" + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
  return false;
}

}  // namespace

bool ApplyVendorConfigFile(VendorOptions* options, std::string* error) {
  std::string text;
  if (!ReadFile(options->configFile, &text, error)) return false;
  VendorConfig config;
  std::string why;
  if (!ParseVendorConfig(text, &config, &why)) {
    *error = options->configFile + ": " + why;
    return false;
  }
  options->listenAddress = config.listenAddress;
  options->port = config.listenPort;
  options->publicBaseUrl = config.publicBaseUrl;
  options->configDocumentFile = config.configDocument;
  options->packageFile = config.package;
  options->packageSha256 = config.packageSha256;
  options->packageSha256File = config.packageSha256File;
  options->eventLog = config.eventLog;
  return true;
}

bool LoadConfigDocument(const VendorOptions& options, const std::string& baseUrl,
                        std::string* document, std::string* error) {
  std::string text;
  if (!ReadFile(options.configDocumentFile, &text, error)) return false;
  std::string why;
  if (!PrepareConfigDocument(text, baseUrl, document, &why)) {
    *error = options.configDocumentFile + ": " + why;
    return false;
  }
  return true;
}

bool ReadPackageDigestFile(VendorOptions* options, std::string* error) {
  std::string text;
  if (!ReadFile(options->packageSha256File, &text, error)) return false;
  const std::size_t end = text.find_first_of(" \t\r\n");
  if (!ParseSha256Hex(std::string_view(text).substr(0, end), &options->packageSha256)) {
    *error = options->packageSha256File + ": does not start with a SHA-256 digest (64 hex digits)";
    return false;
  }
  return true;
}

bool OpenVerifiedPackage(const VendorOptions& options, platform::FileHandle* file,
                         std::string* error) {
  platform::FileHandle opened(platform::OpenFileToRead(PathOf(options.packageFile)));
  if (!opened.valid()) {
    *error = options.packageFile + ": cannot open: " + std::strerror(errno);
    return false;
  }
  const auto facts = platform::FactsOf(opened.get());
  if (!facts || !facts->regular) {
    *error = options.packageFile + ": not a regular file";
    return false;
  }
  // The bytes checked are the bytes served: the same descriptor, read by
  // offset from then on.
  errno = 0;
  std::string actual;
  switch (CheckDescriptorDigest(opened.get(), options.packageSha256, nullptr, &actual)) {
    case DigestCheck::Match:
      break;
    case DigestCheck::Mismatch:
      *error = options.packageFile + ": SHA-256 " + actual + " does not match the configured " +
               options.packageSha256;
      return false;
    case DigestCheck::Unreadable:
    case DigestCheck::Cancelled:
      *error = options.packageFile + ": cannot read" +
               (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
      return false;
  }
  *file = std::move(opened);
  return true;
}
