#include <platform/command_line.h>

#include <platform/utf.h>

namespace platform {
namespace {

// Blanks CommandLineToArgvW splits on, and what the C runtime's older
// parsers also took for one.
bool NeedsQuotes(std::wstring_view text) {
  return text.empty() || text.find_first_of(L" \t\n\v\"") != std::wstring_view::npos;
}

}  // namespace

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!NeedsQuotes(argument)) return std::wstring(argument);
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote escape each other, then one the quote.
    if (c == L'"') backslashes = backslashes * 2 + 1;
    quoted.append(backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote they are doubled, or it would be escaped.
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring QuoteProgramName(std::wstring_view program) {
  if (!NeedsQuotes(program)) return std::wstring(program);
  return L"\"" + std::wstring(program) + L"\"";
}

std::optional<std::wstring> BuildCommandLine(const std::vector<std::wstring>& argv) {
  if (argv.empty() || argv[0].empty() || argv[0].find(L'"') != std::wstring::npos) {
    return std::nullopt;
  }
  std::wstring line = QuoteProgramName(argv[0]);
  for (std::size_t i = 1; i < argv.size(); ++i) {
    line += L' ';
    line += QuoteArgument(argv[i]);
  }
  if (line.find(L'\0') != std::wstring::npos) return std::nullopt;
  if (Utf16Length(line) + 1 > kMaxCommandLineUnits) return std::nullopt;
  return line;
}

}  // namespace platform
