#pragma once
// Unpredictable bytes from the system's generator, for names that must not
// be guessed.
#include <cstddef>

namespace platform {

// Fills buffer; false when the system could not give them all.
bool RandomBytes(void* buffer, std::size_t length);

}  // namespace platform
