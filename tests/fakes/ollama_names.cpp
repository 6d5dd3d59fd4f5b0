#include <tests/fakes/ollama_names.h>

#include <strings.h>

namespace fake_ollama {

namespace {

constexpr const char* kMissing = "!MISSING!";

enum class Part { kHost, kNamespace, kModel, kTag };

bool Word(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool ValidPart(Part kind, const std::string& text) {
  const std::size_t limit = kind == Part::kHost ? 350 : 80;
  if (text.empty() || text.size() > limit || !Word(text[0])) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_' || c == '-' || Word(c)) continue;
    if (c == '.' && kind != Part::kNamespace) continue;
    if (c == ':' && kind == Part::kHost) continue;
    return false;
  }
  return true;
}

// Cuts at the last sep; an empty side becomes the "missing" marker, which no
// valid name has.
bool CutLast(std::string* rest, const std::string& sep, std::string* after) {
  const std::size_t at = rest->rfind(sep);
  if (at == std::string::npos) return false;
  *after = rest->substr(at + sep.size());
  rest->resize(at);
  if (after->empty()) *after = kMissing;
  if (rest->empty()) *rest = kMissing;
  return true;
}

bool SameText(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

}  // namespace

bool ModelName::IsValid() const {
  return ValidPart(Part::kHost, host) && ValidPart(Part::kNamespace, space) &&
         ValidPart(Part::kModel, model) && ValidPart(Part::kTag, tag);
}

std::string ModelName::DisplayShortest() const {
  std::string out;
  if (!SameText(host, "registry.ollama.ai")) {
    out = host + "/" + space + "/";
  } else if (!SameText(space, "library")) {
    out = space + "/";
  }
  return out + model + ":" + tag;
}

std::string ModelName::RelativePath() const { return host + "/" + space + "/" + model + "/" + tag; }

ModelName ParseModelName(const std::string& text) {
  ModelName name;
  std::string rest = text;
  const std::size_t colon = rest.rfind(':'), slash = rest.rfind('/');
  if (colon != std::string::npos && (slash == std::string::npos || colon > slash)) {
    CutLast(&rest, ":", &name.tag);
  }
  if (!CutLast(&rest, "/", &name.model)) {
    name.model = rest;
  } else if (!CutLast(&rest, "/", &name.space)) {
    name.space = rest;
  } else {
    const std::size_t scheme = rest.find("://");
    name.host = scheme == std::string::npos ? rest : rest.substr(scheme + 3);
  }
  if (name.host.empty()) name.host = "registry.ollama.ai";
  if (name.space.empty()) name.space = "library";
  if (name.tag.empty()) name.tag = "latest";
  return name;
}

}  // namespace fake_ollama
