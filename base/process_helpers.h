#pragma once
// Starting outside programs and reading console output. Programs get an
// argument vector, never a shell: paths with spaces, quotes, ';', '$(...)' or
// Chinese characters reach the program exactly as given. The blocking
// helpers have no time limit and belong on worker threads.
#include <string>
#include <vector>

// Command lines are limited to this many UTF-16 units, terminator included;
// a longer one is refused, never cut.
inline constexpr std::size_t kCommandLineBufferUnits = 512;

// UTF-16 units of the command line the program would see on Windows, where
// an argument with blanks or quotes travels quoted.
std::size_t CommandLineUnits(const std::wstring& executable,
                             const std::vector<std::wstring>& arguments);

// Starts a setup with its window hidden, hides the setup wizard's window one
// second later when it shows (unless the setup has ended by then), and waits
// for the setup to end. environment
// holds NAME=VALUE entries the setup gets on top of ours.
bool RunInstallerHidden(const std::wstring& executable, const std::vector<std::wstring>& arguments,
                        const std::vector<std::string>& environment = {});
// Starts the program, sleeps one second, then waits for it to end. One of
// the documented helper set under its own name: the model pull used it until
// it went through the runner's API, and nothing in the program calls it now.
bool RunAndWait(const std::wstring& executable, const std::vector<std::wstring>& arguments);
// Starts the program, and waits for it when wait is true.
bool RunProcess(const std::wstring& executable, const std::vector<std::wstring>& arguments,
                bool wait);

// The program's standard output in pieces of at most 1023 bytes, each ending
// after a newline or at the size limit; empty when it could not be started.
std::vector<std::string> RunCommandLines(const std::vector<std::string>& argv);
// At most this much of a program's output is kept.
inline constexpr std::size_t kMaxCommandOutputBytes = 1024 * 1024;
// The same with a time limit (negative: none): a program still running
// after timeoutMs, or printing more than kMaxCommandOutputBytes, is ended
// and what was kept (the first kMaxCommandOutputBytes at most) is returned.
std::vector<std::string> RunCommandLinesWithin(const std::vector<std::string>& argv, int timeoutMs);
// Cuts output into the pieces RunCommandLines returns.
std::vector<std::string> SplitOutputPieces(const std::string& output);
