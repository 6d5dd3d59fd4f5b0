#pragma once
// `ollama serve` of the stand-in runner: owns the model store, lists it and
// pulls models from the model source (TIDEWELL_MODEL_SOURCE) for clients.
//
//   GET  /            "Ollama is running"
//   GET  /api/tags    {"models":[{"name","digest","size","modified_at"}]}
//   POST /api/pull    {"name":TAG} -> lines of JSON: {"status":...} with
//                     "digest", "total", "completed" while the bytes come,
//                     or {"error":...}
namespace fake_ollama {

// Serves until SIGTERM or SIGINT; the exit code.
int Serve();

}  // namespace fake_ollama
