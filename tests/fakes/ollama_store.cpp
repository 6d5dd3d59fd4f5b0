#include <tests/fakes/ollama_store.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include <platform/atomic_file.h>
#include <platform/digest.h>
#include <platform/file_handle.h>
#include <platform/file_stamp.h>
#include <platform/known_folders.h>
#include <platform/utf.h>
#include <platform/whole_file.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/utf8_path.h>
#include <tests/fakes/ollama_json.h>

namespace fs = std::filesystem;
using fake_text::PathText;
using fake_text::Utf8Path;

namespace fake_ollama {

namespace {

Json::Value LayerJson(const Layer& layer) {
  Json::Value value(Json::objectValue);
  value["mediaType"] = layer.mediaType;
  value["digest"] = layer.digest;
  value["size"] = Json::Int64(layer.size);
  return value;
}

bool ValidDigest(const std::string& digest) {
  return digest.size() == 7 + 64 && digest.starts_with("sha256:") &&
         digest.find_first_not_of("0123456789abcdef", 7) == std::string::npos;
}

// The entries of a folder that are themselves folders (links not followed).
std::vector<fs::path> SubFolders(const fs::path& folder) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->symlink_status(ec).type() == fs::file_type::directory) out.push_back(it->path());
  }
  return out;
}

}  // namespace

fs::path ModelStoreRoot() {
  if (const std::string models = EnvValue("OLLAMA_MODELS"); !models.empty()) return Utf8Path(models);
  return Utf8Path(platform::WideToUtf8(platform::HomeFolder())) / ".ollama" / "models";
}

std::string Sha256Hex(const std::string& bytes) {
  const auto digest = platform::DigestOf(platform::DigestKind::Sha256, bytes);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char byte : digest.value_or(std::vector<unsigned char>())) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0xf];
  }
  return out;
}

std::string ManifestJson(const Layer& config, const std::vector<Layer>& layers) {
  Json::Value manifest(Json::objectValue);
  manifest["schemaVersion"] = 2;
  manifest["mediaType"] = "application/vnd.docker.distribution.manifest.v2+json";
  manifest["config"] = LayerJson(config);
  manifest["layers"] = Json::Value(Json::arrayValue);
  for (const auto& layer : layers) manifest["layers"].append(LayerJson(layer));
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, manifest);
}

int ModelStore::MakeFolders() const { return platform::CreatePrivateFolders(root_ / "blobs"); }

fs::path ModelStore::BlobPath(const std::string& digest) const {
  return root_ / "blobs" / ("sha256-" + digest.substr(7));
}

std::int64_t ModelStore::BlobSize(const std::string& digest) const {
  std::error_code ec;
  const fs::path path = ValidDigest(digest) ? BlobPath(digest) : fs::path();
  if (path.empty() || fs::symlink_status(path, ec).type() != fs::file_type::regular) return -1;
  const std::uintmax_t size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

int ModelStore::WriteBlob(const std::string& digest, const std::string& bytes) const {
  if (const int status = MakeFolders(); status != 0) return status;
  return platform::WriteFileAtomically(BlobPath(digest), bytes);
}

int ModelStore::WriteManifest(const ModelName& name, const std::string& json) const {
  const fs::path path = root_ / "manifests" / name.RelativePath();
  if (const int status = platform::CreatePrivateFolders(path.parent_path()); status != 0) {
    return status;
  }
  return platform::WriteFileAtomically(path, json);
}

std::vector<ModelStore::Entry> ModelStore::Manifests() const {
  std::vector<Entry> entries;
  for (const auto& host : SubFolders(root_ / "manifests")) {
    for (const auto& space : SubFolders(host)) {
      for (const auto& model : SubFolders(space)) {
        std::error_code ec;
        for (fs::directory_iterator it(model, ec), end; !ec && it != end; it.increment(ec)) {
          if (it->symlink_status(ec).type() != fs::file_type::regular) continue;
          ModelName name{PathText(host.filename()), PathText(space.filename()),
                         PathText(model.filename()), PathText(it->path().filename())};
          if (name.IsValid()) entries.push_back({name, it->path()});
        }
      }
    }
  }
  return entries;
}

std::vector<StoredModel> ModelStore::List() const {
  std::vector<StoredModel> models;
  for (const auto& entry : Manifests()) {
    std::string text;
    Json::Value manifest;
    const platform::FileHandle file(platform::OpenFileToRead(entry.path));
    const std::optional<platform::FileStamp> stamp =
        file.valid() ? platform::StampOf(file.get()) : std::nullopt;
    if (!stamp || !platform::ReadWholeFileExact(entry.path, text) || !ParseJson(text, &manifest) ||
        !manifest.isObject()) {
      continue;  // the real runner skips a manifest it cannot read
    }
    StoredModel model;
    model.name = entry.name.DisplayShortest();
    model.digest = Sha256Hex(text);
    model.modifiedSeconds = stamp->modifiedSeconds;
    model.modifiedNanoseconds = stamp->modifiedNanoseconds;
    for (const auto& layer : manifest["layers"]) model.size += layer["size"].asInt64();
    model.size += manifest["config"]["size"].asInt64();

    Json::Value config(Json::objectValue);
    const std::string configDigest = manifest["config"]["digest"].asString();
    std::string configText;
    if (BlobSize(configDigest) >= 0 &&
        (!platform::ReadWholeFileExact(BlobPath(configDigest), configText) ||
         !ParseJson(configText, &config) || !config.isObject())) {
      continue;
    }
    Json::Value details(Json::objectValue);
    details["parent_model"] = "";
    details["format"] = config["model_format"].asString();
    details["family"] = config["model_family"].asString();
    details["families"] = config["model_families"].isArray() ? config["model_families"]
                                                             : Json::Value(Json::nullValue);
    details["parameter_size"] = config["model_type"].asString();
    details["quantization_level"] = config["file_type"].asString();
    model.details = details;
    models.push_back(std::move(model));
  }
  std::stable_sort(models.begin(), models.end(), [](const StoredModel& a, const StoredModel& b) {
    return a.modifiedSeconds > b.modifiedSeconds;
  });
  return models;
}

bool ModelStore::ReadManifest(const ModelName& name, Json::Value* manifest) const {
  std::string text;
  const fs::path path = root_ / "manifests" / name.RelativePath();
  return name.IsValid() && platform::ReadWholeFileExact(path, text) && ParseJson(text, manifest) &&
         manifest->isObject();
}

bool ModelStore::Layers(const ModelName& name, std::vector<std::string>* digests) const {
  Json::Value manifest;
  if (!ReadManifest(name, &manifest)) return false;
  digests->clear();
  for (const auto& layer : manifest["layers"]) digests->push_back(layer["digest"].asString());
  if (manifest["config"]["digest"].isString()) {
    digests->push_back(manifest["config"]["digest"].asString());
  }
  return true;
}

bool ModelStore::Weights(const ModelName& name, Layer* weights) const {
  Json::Value manifest;
  if (!ReadManifest(name, &manifest)) return false;
  for (const auto& layer : manifest["layers"]) {
    if (layer["mediaType"].asString() != "application/vnd.ollama.image.model") continue;
    weights->mediaType = layer["mediaType"].asString();
    weights->digest = layer["digest"].asString();
    const std::int64_t stored = BlobSize(weights->digest);
    weights->size = stored >= 0 ? stored : layer["size"].asInt64();
    return true;
  }
  return false;
}

bool ModelStore::UsedByAny(const std::string& digest) const {
  for (const auto& entry : Manifests()) {
    std::vector<std::string> digests;
    if (Layers(entry.name, &digests) &&
        std::find(digests.begin(), digests.end(), digest) != digests.end()) {
      return true;
    }
  }
  return false;
}

void ModelStore::RemoveUnused(const std::vector<std::string>& digests) const {
  for (const auto& digest : std::set<std::string>(digests.begin(), digests.end())) {
    std::error_code ec;
    if (ValidDigest(digest) && !UsedByAny(digest)) fs::remove(BlobPath(digest), ec);
  }
}

void ModelStore::Prune() const {
  std::vector<std::string> candidates;
  std::error_code ec;
  for (fs::directory_iterator it(root_ / "blobs", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = PathText(it->path().filename());
    const std::string digest = file.starts_with("sha256-") ? "sha256:" + file.substr(7) : "";
    if (ValidDigest(digest)) {
      candidates.push_back(digest);
    } else if (it->symlink_status(ec).type() != fs::file_type::directory) {
      fs::remove(it->path(), ec);
    }
  }
  RemoveUnused(candidates);
}

bool ModelStore::Delete(const ModelName& name) const {
  std::vector<std::string> digests;
  if (!Layers(name, &digests)) return false;
  const fs::path path = root_ / "manifests" / name.RelativePath();
  std::error_code ec;
  if (!fs::remove(path, ec)) return false;
  // Empty folders above it go too, as the real runner prunes them (remove
  // takes a folder only when it is empty).
  for (fs::path folder = path.parent_path(); folder != root_ / "manifests";
       folder = folder.parent_path()) {
    if (!fs::remove(folder, ec)) break;
  }
  RemoveUnused(digests);
  return true;
}

}  // namespace fake_ollama
