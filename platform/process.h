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
  // NAME=VALUE entries set on top of this process's environment.
  std::vector<std::string> environment;
  // When set, the program's standard output and error are appended to this
  // file (created private) instead of going to ours.
  std::string outputFile;
  // When set, the program starts in this folder instead of ours.
  std::string workingDirectory;
};

struct PipeOptions {
  bool withErrors = false;               // standard error goes into the same pipe
  std::vector<std::string> environment;  // as in StartOptions
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Waits for the program to end; its exit code, or -1 when it was killed.
  virtual int Wait() = 0;
  // True once the program has ended (it is then reaped); never blocks.
  virtual bool HasExited() = 0;
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
  // Whatever has arrived, up to size bytes, waiting at most timeoutMs
  // (negative: without limit). The byte count; 0 when the time ran out; -1
  // at the end of the output.
  virtual long ReadSome(char* buffer, std::size_t size, int timeoutMs) = 0;
  // Ends the program at once; Close still reaps it.
  virtual void Kill() = 0;
  // Closes the pipe and waits for the program; its exit code or -1.
  virtual int Close() = 0;
};

std::unique_ptr<OutputPipe> StartWithOutputPipe(const std::vector<std::string>& argv,
                                                const PipeOptions& options = {});

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
