#pragma once
// Runs a program for a test and waits a bounded time for it.
#include <string>
#include <vector>

struct ChildResult {
  bool started = false;
  bool timedOut = false;  // it was killed after the time ran out
  int exitCode = -1;      // -1 when it ended by a signal
  double seconds = 0;
  std::string output;  // standard output and error, with RunChildWithOutput
  std::string errors;
};

ChildResult RunChild(const std::vector<std::string>& argv, double timeoutSeconds);
// The same, keeping what the program wrote to its standard output and error.
ChildResult RunChildWithOutput(const std::vector<std::string>& argv, double timeoutSeconds);

// A program running in the background until Stop (or destruction).
class BackgroundChild {
 public:
  explicit BackgroundChild(const std::vector<std::string>& argv);
  ~BackgroundChild();
  bool Running();
  void Stop();

 private:
  long pid_ = -1;
};
