#pragma once
// The stand-in runner's model store in the real runner's layout, so that a
// store outlives the server and reads as the real one does:
//
//   <store>/manifests/<host>/<namespace>/<model>/<tag>   the manifest (JSON)
//   <store>/blobs/sha256-<64 hex>                         each layer's bytes
//   <store>/blobs/sha256-<64 hex>-partial[-N]             a download under way
//                                                          and its part records
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <json/json.h>
#include <tests/fakes/ollama_names.h>

namespace fake_ollama {

// OLLAMA_MODELS, or ~/.ollama/models like the real runner.
std::filesystem::path ModelStoreRoot();

struct Layer {
  std::string mediaType;
  std::string digest;  // "sha256:<64 hex>"
  std::int64_t size = 0;
};

// A model as GET /api/tags describes it.
struct StoredModel {
  std::string name;    // the shortest display form, "deepseek-r1:7b"
  std::string digest;  // 64 hex: the manifest file's SHA-256
  std::int64_t size = 0;
  std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
  Json::Value details;
};

// "<64 hex>" of the bytes.
std::string Sha256Hex(const std::string& bytes);
// The text of a manifest: schema 2, the config and the layers.
std::string ManifestJson(const Layer& config, const std::vector<Layer>& layers);

class ModelStore {
 public:
  explicit ModelStore(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& root() const { return root_; }

  // Most recently modified first.
  std::vector<StoredModel> List() const;
  // The layer digests (config included) of the model's manifest; false when
  // there is none.
  bool Layers(const ModelName& name, std::vector<std::string>* digests) const;

  // The model's weights, its application/vnd.ollama.image.model layer, with
  // the size of the blob in the store (the manifest's when the blob is
  // missing); false when there is no such model or it names no weights.
  bool Weights(const ModelName& name, Layer* weights) const;

  std::filesystem::path BlobPath(const std::string& digest) const;
  // The blob's size when it is there (a regular file), else -1.
  std::int64_t BlobSize(const std::string& digest) const;
  // Writes a small blob from memory; 0 or an errno.
  int WriteBlob(const std::string& digest, const std::string& bytes) const;
  // Writes the manifest; 0 or an errno.
  int WriteManifest(const ModelName& name, const std::string& json) const;
  // Removes the manifest and every blob no other manifest uses; false when
  // there was no such model.
  bool Delete(const ModelName& name) const;
  // Removes the blobs among digests that no manifest uses.
  void RemoveUnused(const std::vector<std::string>& digests) const;
  // What the real server does as it starts: every file in blobs/ that is no
  // "sha256-<64 hex>" (partial downloads) and every blob no manifest uses
  // is removed.
  void Prune() const;
  // The blobs folder, created (private) when missing; 0 or an errno.
  int MakeFolders() const;

 private:
  // The model's manifest as a JSON object; false when it has none.
  bool ReadManifest(const ModelName& name, Json::Value* manifest) const;
  struct Entry {
    ModelName name;
    std::filesystem::path path;
  };
  std::vector<Entry> Manifests() const;
  bool UsedByAny(const std::string& digest) const;

  std::filesystem::path root_;
};

}  // namespace fake_ollama
