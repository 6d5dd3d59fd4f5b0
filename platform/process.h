#pragma once
// Starting child programs. Programs always get an argument vector: nothing is
// ever interpreted by a shell, whatever the path or the arguments contain.
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct StartOptions {
  bool hidden = false;    // ask for the program's window to be hidden
  bool detached = false;  // nobody will wait: the child is not left a zombie
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Waits for the program to end; its exit code, or -1 when it was killed.
  virtual int Wait() = 0;
  virtual long Id() const = 0;
};

// argv[0] is the program path. Null when the program could not be started.
std::unique_ptr<ChildProcess> StartProcess(const std::vector<std::string>& argv,
                                           const StartOptions& options = {});

// A running program whose standard output is read through a pipe.
class OutputPipe {
 public:
  virtual ~OutputPipe() = default;
  // Reads like fgets: up to size - 1 bytes, ending after a newline. False at
  // the end of the output. buffer is always zero-terminated on true.
  virtual bool ReadPiece(char* buffer, int size, std::size_t* length) = 0;
  // Closes the pipe and waits for the program; its exit code or -1.
  virtual int Close() = 0;
};

std::unique_ptr<OutputPipe> StartWithOutputPipe(const std::vector<std::string>& argv);

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
