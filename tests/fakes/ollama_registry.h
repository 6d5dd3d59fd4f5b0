#pragma once
// What the stand-in runner gets in place of the registry: the model's bytes
// come from the local model source (TIDEWELL_MODEL_SOURCE, GET <source>/<tag>),
// and the small layers a real manifest carries beside them (template,
// license, parameters, config) are made here, so a pull has the real
// manifest's shape: the model blob first, then the small layers, the config last.
#include <cstdint>
#include <string>
#include <vector>

#include <tests/fakes/ollama_names.h>
#include <tests/fakes/ollama_store.h>

namespace fake_ollama {

struct RemoteLayer {
  Layer layer;
  bool fromSource = false;  // the model blob; the others carry their bytes
  std::string bytes;
};

struct RemoteModel {
  std::vector<RemoteLayer> layers;  // in the order a pull fetches them
  Layer config;
  std::vector<Layer> manifestLayers;  // the manifest's "layers" (config aside)
};

// The source URL of the model's bytes, "<source>/<shortest name>".
std::string ModelSourceUrl(const std::string& source, const ModelName& name);

// Asks the source for the model and builds its manifest. The model blob's
// digest stands for the bytes the source serves for this name and size (the
// source names no digest). False with the error text the real runner gives
// ("file does not exist" for an unknown model) when it cannot.
bool FetchRemoteModel(const std::string& source, const ModelName& name, RemoteModel* model,
                      std::string* error);

// A transport failure in Go's words: `Get "<url>": dial tcp <host:port>:
// connect: connection refused` and the like.
std::string TransportError(const std::string& url, const std::string& hostPort, int httplibError);

}  // namespace fake_ollama
