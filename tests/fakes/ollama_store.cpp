#include <tests/fakes/ollama_store.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <json/json.h>
#include <platform/atomic_file.h>
#include <platform/posix/file_util.h>

namespace fs = std::filesystem;

namespace fake_ollama {

namespace {

std::string EscapeName(const std::string& name) {
  std::string out;
  for (const char c : name) {
    if (c == ':') {
      out += "%3A";
    } else if (c == '/') {
      out += "%2F";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

fs::path ModelStoreRoot() {
  if (const char* models = ::getenv("OLLAMA_MODELS"); models != nullptr && *models != '\0') {
    return models;
  }
  const char* home = ::getenv("HOME");
  return fs::path(home != nullptr ? home : ".") / ".ollama" / "models";
}

bool ValidModelName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name.front() == '/' || name.front() == ':' ||
      name.find("..") != std::string::npos) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("._-:/", c) != nullptr;
  });
}

bool ModelStore::MakeFolders(std::string* error) const {
  std::error_code ec;
  fs::create_directories(root_, ec);
  for (const char* sub : {"manifests", "blobs"}) {
    if (::mkdir((root_ / sub).c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "mkdir " + (root_ / sub).string() + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::vector<ListedModel> ModelStore::List() const {
  std::vector<ListedModel> models;
  std::error_code ec;
  for (fs::directory_iterator it(root_ / "manifests", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string text;
    if (platform::posix::ReadFileBytes(it->path(), &text) != 0) continue;
    Json::Value manifest;
    std::string parseError;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &manifest, &parseError) ||
        !manifest.isObject()) {
      continue;
    }
    const std::string digest = manifest["digest"].asString();
    if (digest.size() != 7 + 64 ||
        !fs::is_regular_file(root_ / "blobs" / ("sha256-" + digest.substr(7)))) {
      continue;  // a manifest without its blob is no model
    }
    models.push_back({manifest["name"].asString(), digest.substr(7, 12),
                      manifest["size"].asUInt64(), manifest["modified"].asInt64()});
  }
  std::sort(models.begin(), models.end(), [](const ListedModel& a, const ListedModel& b) {
    return a.modified != b.modified ? a.modified > b.modified : a.name < b.name;
  });
  return models;
}

int ModelStore::CreatePartial(fs::path* path, std::string* error) const {
  if (!MakeFolders(error)) return -1;
  std::string pattern = (root_ / "blobs" / "partial-XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) *error = "create " + pattern + ": " + std::strerror(errno);
  *path = pattern;
  return fd;
}

bool ModelStore::Record(const std::string& name, const fs::path& partial,
                        const std::string& sha256Hex, std::uint64_t size,
                        std::string* error) const {
  const fs::path blob = root_ / "blobs" / ("sha256-" + sha256Hex);
  if (::rename(partial.c_str(), blob.c_str()) != 0) {
    *error = "rename blob: " + std::string(std::strerror(errno));
    return false;
  }
  Json::Value manifest(Json::objectValue);
  manifest["name"] = name;
  manifest["digest"] = "sha256:" + sha256Hex;
  manifest["size"] = Json::UInt64(size);
  manifest["modified"] = Json::Int64(std::time(nullptr));
  const int status = platform::WriteFileAtomically(
      root_ / "manifests" / EscapeName(name),
      Json::writeString(Json::StreamWriterBuilder(), manifest));
  if (status != 0) {
    *error = "write manifest: " + std::string(std::strerror(status));
    return false;
  }
  return true;
}

}  // namespace fake_ollama
