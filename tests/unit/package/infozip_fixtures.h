#pragma once
// The Info-ZIP archives (tests/data/zip/make_fixtures.sh), one of each
// variant, for the tests that unpack them.
#include <filesystem>

namespace infozip_test {

inline const std::filesystem::path kFolder = TIDEWELL_TEST_DATA "/zip";

inline constexpr const char* kArchives[] = {"infozip_encrypted.zip", "infozip_stored.zip",
                                            "infozip_deflated.zip", "infozip_zip64.zip",
                                            "infozip_prefixed.zip"};

}  // namespace infozip_test
