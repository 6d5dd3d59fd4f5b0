#pragma once
// Model names as the real runner reads them: "[host/][namespace/]model[:tag]"
// with registry.ollama.ai, library and latest filled in where left out.
#include <string>

namespace fake_ollama {

struct ModelName {
  std::string host, space, model, tag;

  // Every part present and made only of the characters the runner allows,
  // so that no part can name another folder.
  bool IsValid() const;
  // "deepseek-r1:7b", "user/m:tag" or "host/user/m:tag".
  std::string DisplayShortest() const;
  // host/namespace/model/tag below the manifests folder.
  std::string RelativePath() const;
};

ModelName ParseModelName(const std::string& text);

}  // namespace fake_ollama
