#pragma once
// The model's first answer, asked of the runner before the ready page says
// the model works: one short streamed generation, which loads the model
// (the runner then keeps it loaded a while, so the chat client's first
// question finds it there), timed to its first token. A failure is named
// by its cause, with the runner's own figures where it gives them.
#include <cstdint>
#include <functional>
#include <string>

enum class FirstAnswerCause {
  Answered,
  NotEnoughMemory,          // the runner's "requires more system memory"
  NotEnoughGraphicsMemory,  // the graphics card ran out while loading
  RunnerEnded,              // the runner's model process ended while loading
  NoAnswerInTime,           // our limit, or the runner's own load limit
  ModelMissing,             // the runner has no such model
  NoServer,                 // nothing answered at the address
  Stopped,                  // the caller stopped waiting
  Other,
};

struct FirstAnswer {
  FirstAnswerCause cause = FirstAnswerCause::Other;
  long long firstTokenMs = -1;  // from the request to the first piece of the answer
  // NotEnoughMemory: what the model needs and what the machine has, as the
  // runner writes them ("15.3 GiB").
  std::string neededMemory, availableMemory;
  std::string runnerText;  // the runner's error as it said it
};

struct FirstAnswerOptions {
  long limitMs = 0;  // FirstAnswerLimitMs of the model's size
  // About once a second while waiting, with the time waited; false stops.
  std::function<bool(long long waitedMs)> onTick;
};

// The longest a first answer may take: the load reads the whole model from
// disk, so the limit grows with its size.
long FirstAnswerLimitMs(std::uint64_t modelBytes);

// Asks the runner at address ("http://127.0.0.1:11434") for a few tokens
// from the model (tag "deepseek-r1:7b", UTF-8).
FirstAnswer AskFirstAnswer(const std::string& address, const std::string& tag,
                           const FirstAnswerOptions& options);

// The cause behind a runner's error answer (HTTP status, its "error" text).
FirstAnswer FirstAnswerFromError(long status, const std::string& errorText);
