#pragma once
// POST /api/generate and POST /api/chat of the stand-in runner, answered as
// 0.5.7's handlers answer them (server/routes.go). The model is loaded
// through the scheduler (load time, memory, a runner that dies: see
// ollama_scheduler.h); then the prompt is read and a fixed answer streamed a
// token at a time, one JSON object a line, the last one empty with
// "done":true, done_reason ("stop", or "length" when options.num_predict cut
// it short), the counts and the times in nanoseconds. "stream":false gives
// the same as one object holding the whole answer. An empty prompt (chat: no
// messages) only loads the model, done_reason "load"; with a keep_alive under
// a second it unloads it instead, done_reason "unload". GET /api/ps lists
// the models in memory.
#include <httplib.h>

#include <atomic>

#include <tests/fakes/ollama_scheduler.h>
#include <tests/fakes/ollama_store.h>

namespace fake_ollama {

class Generation {
 public:
  Generation(const ModelStore& store, const std::atomic<bool>& stopping)
      : store_(store), stopping_(stopping), scheduler_(stopping) {}

  void Generate(const httplib::Request& req, httplib::Response& res);
  void Chat(const httplib::Request& req, httplib::Response& res);
  // GET /api/ps: {"models":[{"name","model","size","digest","details",
  // "expires_at","size_vram"}]}.
  void Running(httplib::Response& res);

 private:
  struct Turn;
  // The answer once the model is held: streamed, or as one object.
  void Answer(const std::shared_ptr<Turn>& turn, httplib::Response& res);

  const ModelStore& store_;
  const std::atomic<bool>& stopping_;
  Scheduler scheduler_;
};

}  // namespace fake_ollama
