#pragma once
// The program's command-line options and the environment variables it reads,
// in one table: --help prints it and the manual page tidewell(1) is made from
// it at build time, so the two cannot tell different stories. No Qt here:
// --help answers before the toolkit starts, without a display.
#include <span>
#include <string>
#include <string_view>

struct CommandLineRow {
  enum class Kind { Option, Environment };
  Kind kind;
  // As a person types it: "--package FILE", "TIDEWELL_SERVICE_URL".
  std::string_view name;
  // One paragraph of plain ASCII prose; no line breaks.
  std::string_view text;
};

// Every row, options first, in the order they are shown.
std::span<const CommandLineRow> CommandLineRows();

// The usage lines, one way of calling the program each ("tidewell --status").
std::span<const std::string_view> CommandLineSynopsis();

// What `tidewell --help` prints: usage, options, environment; lines of at
// most 79 columns.
std::string HelpText();

// What `tidewell --version` prints: "tidewell <version>\n".
std::string VersionText();

// The manual page tidewell(1) in troff (man macros). date: the release date
// (YYYY-MM-DD) for the page's footer, so the same sources give the same page.
std::string ManPageText(std::string_view date);

// name or text as troff reads it literally: backslashes and hyphens escaped,
// a leading dot or quote kept from being taken for a request.
std::string TroffEscaped(std::string_view text);
