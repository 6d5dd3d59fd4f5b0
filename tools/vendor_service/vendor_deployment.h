#pragma once
// What a deployed service checks before it listens: its configuration file,
// the configuration document, the package against its digest. Each failure
// is one line naming the file, for the journal.
#include <string>

#include <platform/file_handle.h>
#include <tools/vendor_service/vendor_options.h>

// Reads options->configFile and sets the options it gives.
bool ApplyVendorConfigFile(VendorOptions* options, std::string* error);

// Reads the document named by options.configDocumentFile and prepares it
// (config_document.h) for the base URL the answers use.
bool LoadConfigDocument(const VendorOptions& options, const std::string& baseUrl,
                        std::string* document, std::string* error);

// The digest of options.packageSha256File ("sha256sum" output: the digest is
// the line's first word) into options->packageSha256.
bool ReadPackageDigestFile(VendorOptions* options, std::string* error);

// Opens options.packageFile and checks its SHA-256 against
// options.packageSha256. The open file is what is served afterwards, so the
// bytes checked are the bytes sent even if the name is replaced later.
bool OpenVerifiedPackage(const VendorOptions& options, platform::FileHandle* file,
                         std::string* error);
