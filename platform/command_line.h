#pragma once
// Windows hands a program one command line, not an argument vector; the
// program splits it again (CommandLineToArgvW, the C runtime). These build a
// line that splits back into exactly the vector we started from.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// CreateProcessW takes at most this many UTF-16 units, terminator included.
inline constexpr std::size_t kMaxCommandLineUnits = 32767;

// An argument after the first, quoted only when it must be: when empty or
// holding a blank or a quote. Inside quotes, backslashes count only before
// a quote (2n+1 of them then stand for n and a literal quote) and before
// the closing quote (doubled).
std::wstring QuoteArgument(std::wstring_view argument);
// The program name is split by other rules: up to the next quote when it
// starts with one, else up to the next blank, backslashes always literal.
// So it is quoted when empty or blank-holding, and cannot hold a quote.
std::wstring QuoteProgramName(std::wstring_view program);

// The whole line; nullopt when it cannot stand for argv (no program, a
// quote in the program name, a zero character) or is longer than
// kMaxCommandLineUnits allows.
std::optional<std::wstring> BuildCommandLine(const std::vector<std::wstring>& argv);

}  // namespace platform
