#pragma once
// The install package's version as the vendor names it: dotted numbers
// ("1.10.2"), compared number by number, so "1.10" comes after "1.9".
#include <cstddef>
#include <string_view>

// Digits and dots only, no empty number, at most kMaxPackageVersionChars: what
// may reach the record and the screen.
inline constexpr std::size_t kMaxPackageVersionChars = 64;
bool IsPackageVersion(std::string_view text);

// <0, 0 or >0 as a is older than, the same as or newer than b; missing numbers
// count as 0 ("1.2" equals "1.2.0"). Both must be package versions.
int ComparePackageVersions(std::string_view a, std::string_view b);
