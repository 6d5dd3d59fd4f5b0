#include <gtest/gtest.h>

#include <app/command_line_table.h>
#include <config/product_version.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Words separated by single blanks, so that a paragraph filled to the help's
// width compares with the table's one-line text.
std::string Collapsed(const std::string& text) {
  std::istringstream words(text);
  std::string out;
  std::string word;
  while (words >> word) out += (out.empty() ? "" : " ") + word;
  return out;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outputs {
  std::string help;     // what the built program prints for --help
  std::string manPage;  // the manual page the build wrote
};

const Outputs& Built() {
  static const Outputs outputs = [] {
    // Its own home: --help must not need (or touch) any of the user's files.
    TempHome home;
    UnsetVariable("DISPLAY");
    UnsetVariable("WAYLAND_DISPLAY");
    Outputs o;
    const ChildResult run = RunChildWithOutput({TIDEWELL_APP_PROGRAM, "--help"}, 60);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    o.help = run.output;
    o.manPage = ReadWhole(TIDEWELL_MAN_PAGE_FILE);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.root())) {
      EXPECT_FALSE(entry.is_regular_file()) << "--help wrote " << entry.path();
    }
    return o;
  }();
  return outputs;
}

TEST(CommandLineTable, HelpAndManualPageListEveryRow) {
  const std::string help = Collapsed(Built().help);
  const std::string& man = Built().manPage;
  ASSERT_FALSE(CommandLineRows().empty());
  for (const CommandLineRow& row : CommandLineRows()) {
    const std::string name(row.name);
    EXPECT_NE(Built().help.find("\n  " + name + "\n"), std::string::npos) << name;
    EXPECT_NE(help.find(Collapsed(std::string(row.text))), std::string::npos) << name;
    EXPECT_NE(man.find(".B " + TroffEscaped(row.name) + "\n" + TroffEscaped(row.text) + "\n"),
              std::string::npos)
        << name;
  }
  for (const std::string_view line : CommandLineSynopsis()) {
    EXPECT_NE(Built().help.find(std::string(line) + "\n"), std::string::npos) << line;
    EXPECT_NE(man.find("\n" + TroffEscaped(line) + "\n"), std::string::npos) << line;
  }
}

TEST(CommandLineTable, ProgramPrintsTheTableAndTheBuildsPageIsMadeFromIt) {
  EXPECT_EQ(Built().help, HelpText());
  EXPECT_EQ(Built().manPage, ManPageText(TIDEWELL_RELEASE_DATE));
  const ChildResult version = RunChildWithOutput({TIDEWELL_APP_PROGRAM, "--version"}, 60);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, std::string("tidewell ") + kProductVersion + "\n");
}

TEST(CommandLineTable, HelpFitsATerminal) {
  std::istringstream lines(HelpText());
  std::string line;
  while (std::getline(lines, line)) EXPECT_LE(line.size(), 79u) << line;
}

TEST(CommandLineTable, TroffTakesTextLiterally) {
  const struct {
    const char* text;
    const char* escaped;
  } cases[] = {
      {"--yes", "\\-\\-yes"},
      {".SH gone", "\\&.SH gone"},
      {"'br", "\\&'br"},
      {"a\\fBbold", "a\\efBbold"},
      {"mid.dot 'quote", "mid.dot 'quote"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TroffEscaped(c.text), c.escaped) << c.text;
}

}  // namespace
