#include <tests/fakes/ollama_server.h>

#include <httplib.h>
#include <openssl/evp.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include <json/json.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_store.h>

namespace fake_ollama {

namespace {

std::string Hex(const unsigned char* bytes, unsigned length) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0xf];
  }
  return out;
}

class Sha256 {
 public:
  Sha256() : ctx_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr); }
  ~Sha256() { EVP_MD_CTX_free(ctx_); }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const void* data, std::size_t length) { EVP_DigestUpdate(ctx_, data, length); }
  std::string HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(ctx_, digest, &length);
    return Hex(digest, length);
  }

 private:
  EVP_MD_CTX* ctx_;
};

std::string Line(const Json::Value& message) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, message) + "\n";
}

Json::Value Status(const std::string& status) {
  Json::Value message(Json::objectValue);
  message["status"] = status;
  return message;
}

class Server {
 public:
  Server() : store_(ModelStoreRoot()) {
    if (const char* source = std::getenv("TIDEWELL_MODEL_SOURCE"); source != nullptr) {
      source_ = source;
    }
    Routes();
  }
  httplib::Server& http() { return http_; }
  void Listen() {
    http_.listen_after_bind();
    listenEnded_ = true;
  }
  // The server ignores a stop that comes before it runs: wait for it.
  void Stop() {
    stopping_ = true;
    while (!listenEnded_ && !http_.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    http_.stop();
  }

 private:
  void Routes();
  // Runs one pull, telling the client through sink; false when the client left.
  void Pull(const std::string& name, httplib::DataSink& sink);

  ModelStore store_;
  std::string source_;
  httplib::Server http_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenEnded_{false};
};

void Server::Routes() {
  http_.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("Ollama is running", "text/plain");
  });
  http_.Get("/api/tags", [this](const httplib::Request&, httplib::Response& res) {
    Json::Value models(Json::arrayValue);
    for (const auto& model : store_.List()) {
      Json::Value entry(Json::objectValue);
      entry["name"] = model.name;
      entry["digest"] = model.id;
      entry["size"] = Json::UInt64(model.size);
      entry["modified_at"] = Json::Int64(model.modified);
      models.append(entry);
    }
    Json::Value answer(Json::objectValue);
    answer["models"] = models;
    res.set_content(Line(answer), "application/json");
  });
  http_.Post("/api/pull", [this](const httplib::Request& req, httplib::Response& res) {
    Json::Value body;
    std::string error;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    reader->parse(req.body.data(), req.body.data() + req.body.size(), &body, &error);
    std::string name = body.isObject() ? body["name"].asString() : "";
    if (name.empty() && body.isObject()) name = body["model"].asString();
    res.set_chunked_content_provider("application/x-ndjson",
                                     [this, name](std::size_t, httplib::DataSink& sink) {
                                       Pull(name, sink);
                                       sink.done();
                                       return true;
                                     });
  });
}

void Server::Pull(const std::string& name, httplib::DataSink& sink) {
  const auto fail = [&sink](const std::string& reason) {
    Json::Value message(Json::objectValue);
    message["error"] = reason;
    const std::string text = Line(message);
    sink.write(text.data(), text.size());
  };
  const auto say = [&sink](const Json::Value& message) {
    const std::string text = Line(message);
    return sink.write(text.data(), text.size());
  };
  if (!say(Status("pulling manifest"))) return;
  if (!ValidModelName(name)) return fail("invalid model name");
  std::string base, prefix;
  if (!SplitBaseUrl(source_, &base, &prefix)) {
    return fail("pull model manifest: no model source (TIDEWELL_MODEL_SOURCE)");
  }
  std::filesystem::path partial;
  std::string error;
  const int fd = store_.CreatePartial(&partial, &error);
  if (fd < 0) return fail(error);

  // The layer's short name as the progress line shows it before the bytes
  // are known: derived from the name, stable across pulls.
  Sha256 nameHash;
  nameHash.Update(name.data(), name.size());
  const std::string layer = nameHash.HexDigest().substr(0, 12);

  Sha256 hash;
  std::uint64_t total = 0, completed = 0;
  std::string statusError;
  bool clientLeft = false, writeFailed = false;
  auto lastReport = std::chrono::steady_clock::time_point();
  const auto report = [&](bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastReport < std::chrono::milliseconds(50)) return true;
    lastReport = now;
    Json::Value message = Status("pulling " + layer);
    message["digest"] = "sha256:" + layer;
    message["total"] = Json::UInt64(total);
    message["completed"] = Json::UInt64(completed);
    return say(message);
  };

  httplib::Client client(base);
  client.set_connection_timeout(5);
  client.set_read_timeout(30);
  const httplib::Result result = client.Get(
      prefix + "/" + name,
      [&](const httplib::Response& response) {
        if (response.status == 404) {
          statusError = "pull model manifest: file does not exist";
        } else if (response.status != 200) {
          statusError = "pull model manifest: HTTP status " + std::to_string(response.status);
        } else {
          total = std::strtoull(response.get_header_value("Content-Length").c_str(), nullptr, 10);
          clientLeft = !report(true);
        }
        return statusError.empty() && !clientLeft;
      },
      [&](const char* data, std::size_t length) {
        if (stopping_) return false;
        for (std::size_t done = 0; done < length;) {
          const ssize_t n = ::write(fd, data + done, length - done);
          if (n <= 0) {
            writeFailed = true;
            return false;
          }
          done += static_cast<std::size_t>(n);
        }
        hash.Update(data, length);
        completed += length;
        clientLeft = !report(false);
        return !clientLeft;
      });
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);

  std::string reason;
  if (!statusError.empty()) {
    reason = statusError;
  } else if (writeFailed || !synced) {
    reason = "write " + partial.string() + ": no space left on device or I/O error";
  } else if (stopping_) {
    reason = "server is shutting down";
  } else if (!result && result.error() != httplib::Error::Read) {
    reason = "pull model manifest: " + httplib::to_string(result.error());
  } else if (!result || completed != total || total == 0) {
    reason = "max retries exceeded: unexpected EOF";
  }
  if (clientLeft || !reason.empty()) {
    ::unlink(partial.c_str());
    if (!clientLeft) fail(reason);
    return;
  }
  report(true);
  say(Status("verifying sha256 digest"));
  const std::string digest = hash.HexDigest();
  say(Status("writing manifest"));
  if (!store_.Record(name, partial, digest, total, &error)) {
    ::unlink(partial.c_str());
    return fail(error);
  }
  say(Status("success"));
}

}  // namespace

int Serve() {
  const int port = ServerPort(std::getenv("OLLAMA_HOST"));
  if (port < 0) {
    std::fprintf(stderr, "Error: invalid OLLAMA_HOST\n");
    return 1;
  }
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Server server;
  if (!server.http().bind_to_port("127.0.0.1", port)) {
    std::fprintf(stderr, "Error: listen tcp 127.0.0.1:%d: bind: address already in use\n", port);
    return 1;
  }
  std::fprintf(stderr, "Listening on 127.0.0.1:%d (version 0.5.7, stand-in)\n", port);
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
  });
  server.Listen();
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return 0;
}

}  // namespace fake_ollama
