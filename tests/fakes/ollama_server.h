#pragma once
// `ollama serve` of the stand-in runner: the real runner's HTTP API over its
// model store, with models fetched from the local model source
// (TIDEWELL_MODEL_SOURCE) in place of the registry.
//
//   GET|HEAD /              200 "Ollama is running"
//   GET|HEAD /api/version   {"version":"0.5.7"}
//   GET|HEAD /api/tags      {"models":[{"name","model","modified_at","size",
//                           "digest","details":{...}}]}
//   POST /api/pull          {"model":TAG} (or "name"; "stream":false for one
//                           answer) -> NDJSON progress, {"error":...} on failure
//   DELETE /api/delete      {"model":TAG} -> 200, or 404 {"error":...}
//   POST /api/generate      {"model","prompt","stream","options","keep_alive"}
//                           -> NDJSON {"model","created_at","response","done"}
//                           ..., the last with done_reason, context and times
//   POST /api/chat          {"model","messages":[{"role","content"}],...} ->
//                           the same with "message":{"role","content"}
//                           (both: see ollama_generate.h; the loading, its
//                           time and memory: ollama_scheduler.h)
//   GET /api/ps             the models in memory: {"models":[{"name","model",
//                           "size","digest","details","expires_at","size_vram"}]}
//
// It binds OLLAMA_HOST at once and answers after
// TIDEWELL_FAKE_OLLAMA_START_DELAY_MS (default 300), as the real one answers
// only once its GPU discovery is done; connections made meanwhile wait.
namespace fake_ollama {

// Serves until SIGTERM or SIGINT; the exit code.
int Serve();

}  // namespace fake_ollama
