#include "command_line_table.h"

#include <algorithm>
#include <array>

#include <config/product_version.h>

namespace {

using Kind = CommandLineRow::Kind;

constexpr std::string_view kSummary = "set up a local DeepSeek-R1 model with Ollama and Chatbox";

constexpr std::string_view kDescription =
    "Tidewell opens a window that installs, for the user who runs it, the Ollama runner into a "
    "folder the user chooses, pulls the chosen size of the DeepSeek-R1 model through it and "
    "installs the Chatbox chat client pointed at that model. The install package comes from the "
    "vendor service. Everything it installs stays in the user's home folder; the window's "
    "manage page, or --uninstall, removes it again; when the vendor names a newer package, the "
    "manage page, or --update, replaces the runner and the chat client with its own.";

constexpr std::array kSynopsis = {
    std::string_view("tidewell [--package FILE]"),
    std::string_view("tidewell --status"),
    std::string_view("tidewell --uninstall [--keep-models] [--yes]"),
    std::string_view("tidewell --update"),
    std::string_view("tidewell --help | --version"),
};

constexpr std::array kRows = {
    CommandLineRow{Kind::Option, "--package FILE",
                   "Open the window with FILE, an install package (zip archive) already on "
                   "disk, chosen as the package to install from, as if picked in the window. "
                   "Also written --package=FILE."},
    CommandLineRow{Kind::Option, "--status",
                   "Print what Tidewell has installed for this user (the runner, its server, each "
                   "model, the chat client, the kept package and the folders, with paths and "
                   "sizes) without opening a window. Exit status 0 when everything is there, 1 "
                   "for part of it, 2 for nothing."},
    CommandLineRow{Kind::Option, "--uninstall [--keep-models] [--yes]",
                   "Remove what Tidewell installed for this user, without a window: it lists what "
                   "goes and asks first unless --yes is given; --keep-models keeps the downloaded "
                   "models. Exit status 0 when removed (or nothing was there), 1 when a part "
                   "could not be removed, 2 when not confirmed, 3 when the window is open, 64 for "
                   "a wrong option."},
    CommandLineRow{Kind::Option, "--update",
                   "Ask the vendor service for the current install package and, when its version "
                   "is newer than the installed one, replace the Ollama runner and the Chatbox "
                   "client with those of the new package, without a window. The models, the model "
                   "store and Chatbox's own settings and chats stay. A new runner that does not "
                   "answer is taken out and the old one put back. An update broken off earlier is "
                   "finished or rolled back first. Prints a line for each stage and the outcome. "
                   "Exit status 0 when updated or already current, 1 when not updated (rolled "
                   "back, no answer from the service, or the window is open)."},
    CommandLineRow{Kind::Option, "--help", "Print this help and exit."},
    CommandLineRow{Kind::Option, "--version", "Print the version and exit."},
    CommandLineRow{Kind::Environment, "TIDEWELL_SERVICE_URL",
                   "Base URL of the vendor service (scheme and host, no trailing slash) to use "
                   "instead of the one the program was built with."},
    CommandLineRow{Kind::Environment, "TIDEWELL_LANGUAGE",
                   "zh or en: the window's language, whatever the locale and the language last "
                   "chosen in the window say."},
    CommandLineRow{Kind::Environment, "DO_NOT_TRACK",
                   "Set to anything but 0 or false: no usage reports are sent to the vendor "
                   "service, whatever the switch in the window says."},
    CommandLineRow{Kind::Environment, "TIDEWELL_DEBUG",
                   "Set to anything: developer traces on standard error, among them the time of "
                   "the window's first paint."},
    CommandLineRow{Kind::Environment, "TIDEWELL_MESSAGE_LOG",
                   "A file: message boxes are appended to it instead of shown, and questions are "
                   "answered yes (for automated runs)."},
    CommandLineRow{Kind::Environment, "TIDEWELL_SCREENSHOT",
                   "A PNG file: the window is saved into it once painted, then the program exits."},
    CommandLineRow{Kind::Environment, "XDG_CONFIG_HOME",
                   "Where the settings, the per-user OLLAMA_MODELS entry and the runner server's "
                   "login registration are kept (default ~/.config)."},
    CommandLineRow{Kind::Environment, "XDG_DATA_HOME",
                   "Where the install package and the work folder (tutorial, runner server log) "
                   "are kept (default ~/.local/share)."},
};

constexpr std::size_t kHelpWidth = 79;
constexpr std::string_view kTextIndent = "      ";

// Appends text as words filled to kHelpWidth, each line indented.
void AppendFilled(std::string& out, std::string_view text, std::string_view indent) {
  std::size_t column = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find(' ', pos), text.size());
    const std::string_view word = text.substr(pos, end - pos);
    pos = end + 1;
    if (word.empty()) continue;
    if (column > 0 && column + 1 + word.size() > kHelpWidth) {
      out += '\n';
      column = 0;
    }
    if (column == 0) {
      out += indent;
      column = indent.size();
    } else {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  out += '\n';
}

void AppendHelpSection(std::string& out, std::string_view title, Kind kind) {
  out += '\n';
  out += title;
  out += ":\n";
  for (const CommandLineRow& row : kRows) {
    if (row.kind != kind) continue;
    out += "  ";
    out += row.name;
    out += '\n';
    AppendFilled(out, row.text, kTextIndent);
  }
}

void AppendManSection(std::string& out, std::string_view title, Kind kind) {
  out += ".SH ";
  out += title;
  out += '\n';
  for (const CommandLineRow& row : kRows) {
    if (row.kind != kind) continue;
    out += ".TP\n.B ";
    out += TroffEscaped(row.name);
    out += '\n';
    out += TroffEscaped(row.text);
    out += '\n';
  }
}

}  // namespace

std::span<const CommandLineRow> CommandLineRows() { return kRows; }

std::span<const std::string_view> CommandLineSynopsis() { return kSynopsis; }

std::string HelpText() {
  std::string out = "Usage:";
  for (std::size_t i = 0; i < kSynopsis.size(); ++i) {
    out += i == 0 ? " " : "       ";
    out += kSynopsis[i];
    out += '\n';
  }
  out += '\n';
  AppendFilled(out, kDescription, "");
  AppendHelpSection(out, "Options", Kind::Option);
  AppendHelpSection(out, "Environment", Kind::Environment);
  return out;
}

std::string VersionText() { return std::string("tidewell ") + kProductVersion + "\n"; }

std::string TroffEscaped(std::string_view text) {
  std::string out;
  if (!text.empty() && (text.front() == '.' || text.front() == '\'')) out += "\\&";
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ManPageText(std::string_view date) {
  std::string out = ".TH TIDEWELL 1 \"";
  out += TroffEscaped(date);
  out += "\" \"Tidewell ";
  out += TroffEscaped(kProductVersion);
  out += "\" \"User Commands\"\n";
  out += ".SH NAME\ntidewell \\- ";
  out += TroffEscaped(kSummary);
  out += "\n.SH SYNOPSIS\n.nf\n";
  for (const std::string_view line : kSynopsis) {
    out += TroffEscaped(line);
    out += '\n';
  }
  out += ".fi\n";
  out += ".SH DESCRIPTION\n";
  out += TroffEscaped(kDescription);
  out += '\n';
  AppendManSection(out, "OPTIONS", Kind::Option);
  AppendManSection(out, "ENVIRONMENT", Kind::Environment);
  return out;
}
