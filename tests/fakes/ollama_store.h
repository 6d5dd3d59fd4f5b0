#pragma once
// The stand-in runner's model store: a manifest per model and its blob, so
// the list survives restarts of the server.
//
//   <store>/manifests/<tag, ':' and '/' written %3A and %2F>   JSON
//   <store>/blobs/sha256-<hex>                                   the bytes
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <tests/fakes/ollama_format.h>

namespace fake_ollama {

// OLLAMA_MODELS, or ~/.ollama/models like the real runner.
std::filesystem::path ModelStoreRoot();

// Names like "deepseek-r1:7b" or "library/qwen2:0.5b": letters, digits and
// ". _ - : /", not starting with a separator, no "..".
bool ValidModelName(const std::string& name);

class ModelStore {
 public:
  explicit ModelStore(std::filesystem::path root) : root_(std::move(root)) {}
  // Newest first.
  std::vector<ListedModel> List() const;
  // A private partial file in the store for a download; -1 on failure.
  int CreatePartial(std::filesystem::path* path, std::string* error) const;
  // Moves the finished partial file in as the blob and records the model.
  bool Record(const std::string& name, const std::filesystem::path& partial,
              const std::string& sha256Hex, std::uint64_t size, std::string* error) const;

 private:
  bool MakeFolders(std::string* error) const;
  std::filesystem::path root_;
};

}  // namespace fake_ollama
