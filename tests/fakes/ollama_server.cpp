#include <tests/fakes/ollama_server.h>

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <thread>

#include <json/json.h>
#include <platform/stop_requests.h>
#include <tests/fakes/ollama_download.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>
#include <tests/fakes/ollama_generate.h>
#include <tests/fakes/ollama_json.h>
#include <tests/fakes/ollama_listen.h>
#include <tests/fakes/ollama_registry.h>
#include <tests/fakes/ollama_reply.h>
#include <tests/fakes/ollama_request.h>
#include <tests/fakes/ollama_store.h>
#include <tests/fakes/ollama_version.h>
#include <tests/fakes/utf8_path.h>

namespace fake_ollama {

namespace {

Json::Value Status(const std::string& status) {
  Json::Value message(Json::objectValue);
  message["status"] = status;
  return message;
}

std::string FileSha256(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Sha256Hex(bytes);
}

// A line of the real server's log: time=... level=INFO msg="...".
void Log(const std::string& message) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  const std::string stamp =
      Rfc3339Nano(nanos / 1'000'000'000, nanos % 1'000'000'000 / 1'000'000 * 1'000'000);
  std::fprintf(stderr, "time=%s level=INFO source=routes.go:1238 msg=\"%s\"\n", stamp.c_str(),
               message.c_str());
}

const std::vector<RequestField> kPullFields = {
    {"model", FieldKind::kString},    {"name", FieldKind::kString},
    {"insecure", FieldKind::kBool},   {"username", FieldKind::kString},
    {"password", FieldKind::kString}, {"stream", FieldKind::kBool}};
const std::vector<RequestField> kDeleteFields = {{"model", FieldKind::kString},
                                                 {"name", FieldKind::kString}};

class Server {
 public:
  explicit Server(RunnerVersion version)
      : version_(std::move(version)),
        store_(ModelStoreRoot()),
        source_(EnvValue("TIDEWELL_MODEL_SOURCE")),
        downloads_(store_, source_) {
    Routes();
  }
  httplib::Server& http() { return http_; }
  const ModelStore& store() const { return store_; }
  void Listen() {
    http_.listen_after_bind();
    listenEnded_ = true;
  }
  // Stopped before it ever answered.
  void SkipListen() { listenEnded_ = true; }
  // Connections are closed as they stand, a pull's stream cut off without a
  // last line, as the real server closes them.
  void Stop() {
    stopping_ = true;
    downloads_.StopAll();
    while (!listenEnded_ && !http_.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    http_.stop();
  }

 private:
  void Routes();
  // One pull, as the real server's PullModel runs it; emit returns false when
  // the client is gone. Returns "" or the error text (already sent as a line
  // when streaming).
  std::string Pull(const ModelName& name, const std::function<bool(const Json::Value&)>& emit);

  RunnerVersion version_;
  ModelStore store_;
  std::string source_;
  BlobDownloads downloads_;
  httplib::Server http_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenEnded_{false};
  Generation generation_{store_, stopping_};
};

void Server::Routes() {
  http_.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("Ollama is running", "text/plain; charset=utf-8");
  });
  http_.Get("/api/version", [this](const httplib::Request&, httplib::Response& res) {
    Json::Value answer(Json::objectValue);
    answer["version"] = version_.text;
    SendJson(res, 200, answer);
  });
  http_.Get("/api/tags", [this](const httplib::Request&, httplib::Response& res) {
    Json::Value models(Json::arrayValue);
    for (const auto& model : store_.List()) {
      Json::Value entry(Json::objectValue);
      entry["name"] = model.name;
      entry["model"] = model.name;
      entry["modified_at"] = Rfc3339Nano(model.modifiedSeconds, model.modifiedNanoseconds);
      entry["size"] = Json::Int64(model.size);
      entry["digest"] = model.digest;
      entry["details"] = model.details;
      models.append(entry);
    }
    Json::Value answer(Json::objectValue);
    answer["models"] = models;
    SendJson(res, 200, answer);
  });
  http_.Post("/api/pull", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    std::string error;
    if (!DecodeRequest(req.body, "PullRequest", kPullFields, &body, &error)) {
      return SendError(res, 400, error);
    }
    const std::string model = body["model"].asString();
    const ModelName name = ParseModelName(model.empty() ? body["name"].asString() : model);
    if (!name.IsValid()) return SendError(res, 400, "invalid model name");
    if (body["stream"].isBool() && !body["stream"].asBool()) {
      // One answer once it is over: the last status, or the error with 500.
      error = Pull(name, [](const Json::Value&) { return true; });
      return error.empty() ? SendJson(res, 200, Status("success"))
                           : SendError(res, 500, error);
    }
    res.set_chunked_content_provider("application/x-ndjson",
                                     [this, name](std::size_t, httplib::DataSink& sink) {
                                       const auto emit = [&](const Json::Value& message) {
                                         if (stopping_) return false;
                                         const std::string line = GoJson(message) + "\n";
                                         return sink.write(line.data(), line.size());
                                       };
                                       Pull(name, emit);
                                       if (stopping_)
                                         return false;  // cut off, no end of the stream
                                       sink.done();
                                       return true;
                                     });
  });
  http_.Post("/api/generate", [this](const httplib::Request& req, httplib::Response& res) {
    generation_.Generate(req, res);
  });
  http_.Post("/api/chat", [this](const httplib::Request& req, httplib::Response& res) {
    generation_.Chat(req, res);
  });
  http_.Get("/api/ps", [this](const httplib::Request& req, httplib::Response& res) {
    // The real server routes GET alone here.
    if (req.method == "HEAD") {
      res.status = 404;
      return;
    }
    generation_.Running(res);
  });
  http_.Delete("/api/delete", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    std::string error;
    if (!DecodeRequest(req.body, "DeleteRequest", kDeleteFields, &body, &error)) {
      return SendError(res, 400, error);
    }
    const std::string model = body["model"].asString();
    const std::string given = model.empty() ? body["name"].asString() : model;
    const ModelName name = ParseModelName(given);
    if (!name.IsValid()) {
      return SendError(res, 400, "name \"" + given + "\" is invalid");
    }
    if (!store_.Delete(name)) {
      return SendError(res, 404, "model '" + given + "' not found");
    }
    res.status = 200;
  });
  http_.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.status == 404 && res.body.empty()) {
      res.set_content("404 page not found", "text/plain");
    }
  });
}

std::string Server::Pull(const ModelName& name,
                         const std::function<bool(const Json::Value&)>& emit) {
  const auto fail = [&](const std::string& text) {
    emit(ErrorObject(text));
    return text;
  };
  // Layers of the model as it was, removed at the end unless still used.
  std::vector<std::string> previous;
  store_.Layers(name, &previous);

  if (!emit(Status("pulling manifest"))) return "context canceled";
  RemoteModel remote;
  std::string error;
  if (!FetchRemoteModel(source_, name, &remote, &error))
    return fail("pull model manifest: " + error);

  const std::string url = ModelSourceUrl(source_, name);
  std::vector<bool> cacheHits;
  for (const auto& layer : remote.layers) {
    const std::string& digest = layer.layer.digest;
    const auto progress = [&](std::int64_t total, std::int64_t completed) {
      Json::Value message = Status("pulling " + digest.substr(7, 12));
      message["digest"] = digest;
      // Zero values are left out, as Go's omitempty does.
      if (total != 0) message["total"] = Json::Int64(total);
      if (completed != 0) message["completed"] = Json::Int64(completed);
      return emit(message);
    };
    bool cacheHit = false;
    error = downloads_.Fetch(layer, url, progress, &cacheHit);
    if (!error.empty()) return fail(error);
    cacheHits.push_back(cacheHit);
  }

  if (!emit(Status("verifying sha256 digest"))) return "context canceled";
  for (std::size_t i = 0; i < remote.layers.size(); ++i) {
    if (cacheHits[i]) continue;
    const Layer& layer = remote.layers[i].layer;
    const auto path = store_.BlobPath(layer.digest);
    // The source names no digest for the model's bytes: their length is what
    // can be checked there.
    const std::string got =
        remote.layers[i].fromSource
            ? (store_.BlobSize(layer.digest) == layer.size ? layer.digest.substr(7)
                                                           : FileSha256(path))
            : FileSha256(path);
    if ("sha256:" + got != layer.digest) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
      return fail("digest mismatch, file must be downloaded again: want " + layer.digest +
                  ", got sha256:" + got);
    }
  }

  if (!emit(Status("writing manifest"))) return "context canceled";
  const std::string manifest = ManifestJson(remote.config, remote.manifestLayers);
  if (const int status = store_.WriteManifest(name, manifest); status != 0) {
    std::string text = std::strerror(status);
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return fail("open " + fake_text::PathText(store_.root() / "manifests" / name.RelativePath()) +
                ": " + text);
  }
  std::vector<std::string> unused;
  for (const auto& digest : previous) {
    bool kept = digest == remote.config.digest;
    for (const auto& layer : remote.manifestLayers) kept = kept || layer.digest == digest;
    if (!kept) unused.push_back(digest);
  }
  if (!unused.empty() && EnvValue("OLLAMA_NOPRUNE").empty()) {
    emit(Status("removing unused layers"));
    store_.RemoveUnused(unused);
  }
  emit(Status("success"));
  return "";
}

std::atomic<bool> g_stop{false};

}  // namespace

int Serve() {
  const RunnerVersion version = CurrentVersion();
  const HostAddress address = ConfiguredHost();
  platform::TakeStopRequests();

  Server server(version);
  server.http().set_socket_options(
      [](socket_t sock) { SetListenOptions(static_cast<std::uintptr_t>(sock)); });
  const std::string bindHost = address.host.empty() ? "0.0.0.0" : address.host;
  int port = address.port;
  const bool bound = port == 0 ? (port = server.http().bind_to_any_port(bindHost)) > 0
                               : server.http().bind_to_port(bindHost, port);
  if (!bound) {
    std::fprintf(stderr, "Error: %s\n", BindFailure(address.host, address.port).c_str());
    return 1;
  }
  if (EnvValue("OLLAMA_NOPRUNE").empty()) server.store().Prune();
  HostAddress shown = address;
  shown.port = port;
  Log("Listening on " + shown.HostPort() + " (version " + version.text + ")");

  std::mutex mutex;
  std::condition_variable stopped;
  std::thread waiter([&] {
    platform::WaitForStopRequest();
    {
      std::lock_guard lock(mutex);
      g_stop = true;
    }
    stopped.notify_all();
    server.Stop();
  });
  // The real server binds first and answers once its GPU discovery is done:
  // connections made meanwhile wait in the listen queue.
  const std::string delay = EnvValue("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS");
  const long delayMs = delay.empty() ? 300 : std::max(0L, std::atol(delay.c_str()));
  {
    std::unique_lock lock(mutex);
    stopped.wait_for(lock, std::chrono::milliseconds(delayMs), [] { return g_stop.load(); });
  }
  if (!g_stop) {
    server.Listen();
  } else {
    server.SkipListen();
  }
  if (!g_stop) platform::ReleaseStopWaiter();  // ended on its own
  waiter.join();
  return 0;
}

}  // namespace fake_ollama
