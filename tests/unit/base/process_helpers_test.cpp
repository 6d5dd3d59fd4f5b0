// What the process helpers decide before starting anything: programs that
// are not there, and command lines counted as Windows counts them.
#include <gtest/gtest.h>

#include <base/process_helpers.h>

namespace {

TEST(ProcessHelpers, MissingProgramsAreRefused) {
  EXPECT_FALSE(RunProcess(L"/nonexistent/Chatbox", {}, true));
  EXPECT_FALSE(RunInstallerHidden(L"/nonexistent/OllamaSetup", {L"/silent"}));
  EXPECT_FALSE(RunProcess(L"", {}, false));
  EXPECT_FALSE(RunAndWait(L"/nonexistent/ollama", {L"pull"}));
  EXPECT_TRUE(RunCommandLines({"/nonexistent/ollama", "list"}).empty());
}

TEST(ProcessHelpers, CommandLineUnitsCountAsWindowsDoes) {
  // Non-BMP characters count two units, as on Windows.
  EXPECT_EQ(CommandLineUnits(L"/p", {L"\U0001F600"}), 2u + 1u + 2u);
  // Quoted: the blank needs quotes, the inner quote an escape.
  EXPECT_EQ(CommandLineUnits(L"/a b", {L"x\"y z"}), 6u + 1u + 8u);
  // A backslash before the closing quote is doubled.
  EXPECT_EQ(CommandLineUnits(L"/p", {L"/dir=C:\\a b\\"}), 2u + 1u + 15u);
}

TEST(ProcessHelpers, OutputIsCutIntoPiecesOf1023BytesAtMost) {
  const std::string output = std::string(3000, 'x') + "\nNAME ID\n\nlast";
  const auto pieces = SplitOutputPieces(output);
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0].size(), 1023u);
  EXPECT_EQ(pieces[1].size(), 1023u);
  EXPECT_EQ(pieces[2].size(), 954u + 1u);  // the rest, newline included
  EXPECT_EQ(pieces[3], "NAME ID\n");
  EXPECT_EQ(pieces[4], "\n");
  EXPECT_EQ(pieces[5], "last");
  EXPECT_TRUE(SplitOutputPieces("").empty());
}

}  // namespace
