// The quoting checked against Windows' own splitting: CommandLineToArgvW,
// and the C runtime of a real program started with the line.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <platform/command_line.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/utf.h>

namespace {

const std::vector<std::vector<std::wstring>>& Vectors() {
  static const std::vector<std::vector<std::wstring>> vectors = {
      {L"C:\\p.exe"},
      {L"C:\\Program Files\\x\\p.exe", L"/SILENT", L"/DIR=C:\\a b\\"},
      {L"p", L"", L"", L"x"},
      {L"p", L"a\"b", L"\"", L"\"\"", L"\\\"", L"\\\\\""},
      {L"p", L"trailing\\", L"trailing two\\\\", L"\\\\server\\share\\"},
      {L"p", L"tab\there", L"new\nline", L"vt\vx"},
      {L"p", L"中文 目录\\", L"\U0001F600", L"^&|<>%PATH%"},
      {L"C:\\dir with space\\", L"a"},
  };
  return vectors;
}

TEST(CommandLineWin32, CommandLineToArgvWGivesTheVectorBack) {
  for (const auto& argv : Vectors()) {
    const auto line = platform::BuildCommandLine(argv);
    ASSERT_TRUE(line.has_value());
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(line->c_str(), &count);
    ASSERT_NE(split, nullptr) << platform::WideToUtf8(*line);
    std::vector<std::wstring> back(split, split + count);
    ::LocalFree(split);
    EXPECT_EQ(back, argv) << platform::WideToUtf8(*line);
  }
}

TEST(CommandLineWin32, AProgramsOwnRuntimeGivesTheVectorBack) {
  for (const auto& vector : Vectors()) {
    // Our vectors travel in the narrow code page: what it cannot hold
    // cannot be asked for.
    std::vector<std::string> argv = {TIDEWELL_PROBE_PROGRAM, "args"};
    std::string wanted;
    bool representable = true;
    for (std::size_t i = 1; i < vector.size(); ++i) {
      argv.push_back(platform::WideToOsNarrow(vector[i]));
      representable = representable && platform::OsNarrowToWide(argv.back()) == vector[i];
      wanted += '[';
      wanted += platform::WideToUtf8(vector[i]);
      wanted += ']';
    }
    if (!representable) continue;
    auto pipe = platform::StartWithOutputPipe(argv);
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    for (long n; (n = pipe->ReadSome(buffer, sizeof buffer, -1)) > 0;) {
      output.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(pipe->Close(), 0);
    EXPECT_EQ(output, wanted);
  }
}

}  // namespace
