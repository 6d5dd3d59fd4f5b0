#include <tests/fakes/ollama_client.h>

#include <httplib.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <json/json.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>
#include <tests/fakes/ollama_json.h>
#include <tests/fakes/ollama_progress.h>
#include <tests/fakes/ollama_version.h>

namespace fake_ollama {

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Connection {
  HostAddress address = ConfiguredHost();
  RunnerVersion version = CurrentVersion();
  std::unique_ptr<httplib::Client> client;

  Connection() {
    client = std::make_unique<httplib::Client>(address.ConnectHost(), address.port);
    // The real client has no time limit: a server still starting is waited for.
    client->set_connection_timeout(30);
    client->set_read_timeout(24 * 3600);
  }
  std::string Url(const std::string& path) const {
    return address.scheme + "://" + address.HostPort() + path;
  }
  // Go's words for a request that got no answer.
  std::string Failure(const char* method, const std::string& path, httplib::Error error) const {
    const std::string where = method + std::string(" \"") + Url(path) + "\": ";
    if (error == httplib::Error::Connection) {
      return where + "dial tcp " + address.HostPort() + ": connect: connection refused";
    }
    return where + "EOF";
  }
};

int Fail(const std::string& text) {
  std::fprintf(stderr, "Error: %s\n", text.c_str());
  return 1;
}

// An answer of 400 or more as the real client words it: the body's "error",
// else the whole body.
std::string StatusText(const httplib::Response& response) {
  Json::Value body;
  if (ParseJson(response.body, &body) && body.isObject() && body["error"].isString()) {
    return body["error"].asString();
  }
  return response.body;
}

const char* StatusName(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    default:
      return "Internal Server Error";
  }
}

// What `list` and `pull` check first: that a server answers at all.
bool Heartbeat(Connection& connection, std::string* error) {
  const httplib::Result result = connection.client->Head("/");
  if (!result) {
    *error = result.error() == httplib::Error::Connection
                 ? connection.version.CannotConnectError()
                 : connection.Failure("Head", "/", result.error());
    return false;
  }
  if (result->status >= 400) {
    *error = StatusText(*result);
    return false;
  }
  return true;
}

// "2025-01-28T10:15:30.123+08:00" as Unix seconds; 0 when unreadable.
double ParseRfc3339(const std::string& text) {
  std::tm parts{};
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &parts.tm_year, &parts.tm_mon,
                  &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6) {
    return 0;
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  double seconds = static_cast<double>(UtcSecondsOf(parts));
  std::size_t at = static_cast<std::size_t>(consumed);
  if (at < text.size() && text[at] == '.') {
    const std::size_t end = text.find_first_not_of("0123456789", at + 1);
    seconds += std::stod("0" + text.substr(at, end - at));
    at = end;
  }
  int hours = 0, minutes = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-') &&
      std::sscanf(text.c_str() + at + 1, "%2d:%2d", &hours, &minutes) == 2) {
    seconds -= (text[at] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
  }
  return seconds;
}

// The terminal picture of one pull, redrawn by its own thread every 100 ms.
class PullView {
 public:
  explicit PullView(RunnerVersion version) : version_(version), block_(version) {
    ticker_ = std::thread([this] {
      auto next = std::chrono::steady_clock::now();
      std::unique_lock lock(mutex_);
      while (!stopping_) {
        next += std::chrono::milliseconds(100);
        if (wake_.wait_until(lock, next, [this] { return stopping_; })) break;
        Write(block_.Render(Now()));
      }
    });
  }
  ~PullView() { Stop(); }

  void Take(const Json::Value& message) {
    std::lock_guard lock(mutex_);
    const std::string digest = message["digest"].asString();
    const std::string status = message["status"].asString();
    const std::int64_t completed = message["completed"].asInt64();
    if (!digest.empty()) {
      // Later releases leave out a layer's first word, sent before any bytes.
      if (version_.ColonLabels() && completed == 0) return;
      if (spinner_ != nullptr) spinner_->Stop();
      auto found = bars_.find(digest);
      if (found == bars_.end()) {
        auto bar = std::make_unique<ProgressBar>(Label(digest), message["total"].asInt64(),
                                                 completed, Now());
        found = bars_.emplace(digest, bar.get()).first;
        block_.AddBar(std::move(bar));
      }
      found->second->Set(completed, Now());
    } else if (status != status_) {
      if (spinner_ != nullptr) spinner_->Stop();
      status_ = status;
      auto spinner = std::make_unique<Spinner>(status, Now());
      spinner_ = spinner.get();
      block_.AddSpinner(std::move(spinner));
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      stopping_ = true;
    }
    wake_.notify_all();
    ticker_.join();
    Write(block_.Stop(Now()));
  }

 private:
  std::string Label(const std::string& digest) const {
    if (!version_.ColonLabels()) return "pulling " + digest.substr(7, 12) + "...";
    std::string name = digest.starts_with("sha256:") ? digest.substr(7, 12) : digest;
    return "pulling " + name + ":";
  }
  static void Write(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
  }

  RunnerVersion version_;
  std::mutex mutex_;
  std::condition_variable wake_;
  ProgressBlock block_;
  std::map<std::string, ProgressBar*> bars_;
  Spinner* spinner_ = nullptr;
  std::string status_;
  bool stopping_ = false;
  std::thread ticker_;
};

}  // namespace

int ListModels(const std::string& prefix) {
  Connection connection;
  std::string error;
  if (!Heartbeat(connection, &error)) return Fail(error);
  const httplib::Result result = connection.client->Get("/api/tags");
  if (!result) return Fail(connection.Failure("Get", "/api/tags", result.error()));
  if (result->status >= 400) return Fail(StatusText(*result));
  Json::Value answer;
  if (!ParseJson(result->body, &answer) || !answer.isObject()) {
    return Fail("invalid character looking for beginning of value");
  }
  timespec clock{};
  ::clock_gettime(CLOCK_REALTIME, &clock);
  const double now = static_cast<double>(clock.tv_sec) + static_cast<double>(clock.tv_nsec) / 1e9;
  std::vector<ListedModel> models;
  const auto lower = [](std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (const auto& model : answer["models"]) {
    if (!lower(model["name"].asString()).starts_with(lower(prefix))) continue;
    models.push_back({model["name"].asString(), model["digest"].asString().substr(0, 12),
                      model["size"].asInt64(),
                      now - ParseRfc3339(model["modified_at"].asString())});
  }
  const std::string table = ListTable(models);
  std::fwrite(table.data(), 1, table.size(), stdout);
  return 0;
}

int PullModel(const std::string& name) {
  Connection connection;
  std::string error;
  if (!Heartbeat(connection, &error)) return Fail(error);

  Json::Value body(Json::objectValue);
  body["model"] = "";
  body["username"] = "";
  body["password"] = "";
  body["name"] = name;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  httplib::Request request;
  request.method = "POST";
  request.path = "/api/pull";
  request.set_header("Content-Type", "application/json");
  request.set_header("Accept", "application/x-ndjson");
  request.body = Json::writeString(builder, body);

  PullView view(connection.version);
  std::string pending;
  int status = 0;
  request.response_handler = [&](const httplib::Response& response) {
    status = response.status;
    return true;
  };
  request.content_receiver = [&](const char* data, std::size_t length, std::uint64_t,
                                 std::uint64_t) {
    pending.append(data, length);
    for (std::size_t end; error.empty() && (end = pending.find('\n')) != std::string::npos;) {
      Json::Value message;
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!ParseJson(line, &message) || !message.isObject()) {
        error = "unmarshal: invalid character looking for beginning of value";
      } else if (message["error"].isString() && !message["error"].asString().empty()) {
        error = message["error"].asString();
      } else if (status >= 400) {
        error = std::to_string(status) + " " + StatusName(status);
      } else {
        view.Take(message);
      }
    }
    return error.empty();
  };
  const httplib::Result result = connection.client->send(request);
  if (!result && result.error() == httplib::Error::Connection) {
    error = connection.Failure("Post", "/api/pull", result.error());
  }
  // A stream that ends early, without an error line, ends the command
  // quietly, as the real client's line reader does.
  view.Stop();
  return error.empty() ? 0 : Fail(error);
}

int ShowVersion() {
  Connection connection;
  std::string server;
  const httplib::Result result = connection.client->Get("/api/version");
  Json::Value answer;
  if (result && result->status < 400 && ParseJson(result->body, &answer) && answer.isObject()) {
    server = answer["version"].asString();
  } else {
    std::puts("Warning: could not connect to a running Ollama instance");
  }
  if (!server.empty()) std::printf("ollama version is %s\n", server.c_str());
  if (server != connection.version.text) {
    std::printf("Warning: client version is %s\n", connection.version.text.c_str());
  }
  return 0;
}

}  // namespace fake_ollama
