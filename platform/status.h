#pragma once
// Result codes of the platform layer. They carry the Windows error numbers so
// that callers and messages read the same on every platform.
#include <cstdint>

namespace platform {

using Status = std::int32_t;

inline constexpr Status kSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorPathNotFound = 3;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorInvalidData = 13;
inline constexpr Status kErrorWriteFault = 29;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorInvalidName = 123;
inline constexpr Status kErrorAlreadyExists = 183;
inline constexpr Status kErrorMoreData = 234;

}  // namespace platform
