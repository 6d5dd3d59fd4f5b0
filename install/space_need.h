#pragma once
// What an installation writes to disk besides the model: the package (kept
// in the per-user data folder), its unpacked copy below the install folder
// and the programs its setups install. Figures from a kept archive where
// there is one, else estimates of the vendor's package.
#include <cstdint>
#include <string>

// Roughly the vendor's package: the runner's release archive with its GPU
// libraries and the chat client's AppImage, about 1.7 GB, rounded up.
inline constexpr std::uint64_t kPackageEstimateBytes = 2ull << 30;
// The runner installed (with its GPU libraries, about 4 GB) and the client
// unpacked (about 0.5 GB).
inline constexpr std::uint64_t kInstalledProgramsBytes = 4608ull << 20;

// Bytes still to be written for the package: nothing for a kept archive,
// plus the unpacked copy (its entries' sizes when the archive is kept) and
// the installed programs.
std::uint64_t PackageFootprintBytes(const std::wstring& keptArchive);
