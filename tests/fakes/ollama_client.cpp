#include <tests/fakes/ollama_client.h>

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include <json/json.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>

namespace fake_ollama {

namespace {

std::unique_ptr<httplib::Client> Connect() {
  const int port = ServerPort(std::getenv("OLLAMA_HOST"));
  auto client = std::make_unique<httplib::Client>("127.0.0.1", port < 0 ? kDefaultPort : port);
  client->set_connection_timeout(5);
  client->set_read_timeout(60 * 60);
  return client;
}

bool ParseJson(const std::string& text, Json::Value* value) {
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), value, &error);
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// The terminal picture of one pull: status lines, and one progress line per
// layer that is redrawn as its bytes come.
class PullView {
 public:
  // False when the message was an error (its text in *error).
  bool Take(const Json::Value& message, std::string* error) {
    if (message["error"].isString()) {
      *error = message["error"].asString();
      return false;
    }
    const std::string status = message["status"].asString();
    if (message.isMember("total") && status.starts_with("pulling ")) {
      Progress(status.substr(8), message["completed"].asUInt64(), message["total"].asUInt64());
    } else {
      lines_.push_back(status);
      progressLine_ = -1;
    }
    success_ = status == "success";
    Print(block_.Redraw(lines_));
    return true;
  }
  void Finish() { Print(block_.Finish()); }
  bool Succeeded() const { return success_; }

 private:
  void Progress(const std::string& layer, std::uint64_t completed, std::uint64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (progressLine_ < 0 || layer != layer_) {
      lines_.emplace_back();
      progressLine_ = static_cast<int>(lines_.size()) - 1;
      layer_ = layer;
      start_ = now;
      startBytes_ = completed;
    }
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate =
        seconds > 0.2 ? static_cast<double>(completed - startBytes_) / seconds : 0.0;
    lines_[static_cast<std::size_t>(progressLine_)] =
        ProgressLine(layer.substr(0, 12), completed, total, rate);
  }

  StatusBlock block_;
  std::vector<std::string> lines_;
  int progressLine_ = -1;
  std::string layer_;
  std::chrono::steady_clock::time_point start_;
  std::uint64_t startBytes_ = 0;
  bool success_ = false;
};

}  // namespace

int ListModels() {
  const auto client = Connect();
  const httplib::Result result = client->Get("/api/tags");
  if (!result) {
    std::fputs(kCannotConnect, stderr);
    return 1;
  }
  Json::Value answer;
  if (result->status != 200 || !ParseJson(result->body, &answer) || !answer.isObject()) {
    std::fprintf(stderr, "Error: unexpected answer from the server (%d)\n", result->status);
    return 1;
  }
  std::vector<ListedModel> models;
  for (const auto& model : answer["models"]) {
    models.push_back({model["name"].asString(), model["digest"].asString(),
                      model["size"].asUInt64(), model["modified_at"].asInt64()});
  }
  Print(ListTable(models, std::time(nullptr)));
  return 0;
}

int PullModel(const std::string& name) {
  const auto client = Connect();
  Json::Value body(Json::objectValue);
  body["name"] = name;
  httplib::Request request;
  request.method = "POST";
  request.path = "/api/pull";
  request.set_header("Content-Type", "application/json");
  request.body = Json::writeString(Json::StreamWriterBuilder(), body);

  PullView view;
  std::string pending, error;
  bool failed = false;
  request.content_receiver = [&](const char* data, std::size_t length, std::uint64_t,
                                 std::uint64_t) {
    pending.append(data, length);
    for (std::size_t end; !failed && (end = pending.find('\n')) != std::string::npos;) {
      Json::Value message;
      if (ParseJson(pending.substr(0, end), &message) && message.isObject()) {
        failed = !view.Take(message, &error);
      }
      pending.erase(0, end + 1);
    }
    return !failed;
  };
  const httplib::Result result = client->send(request);
  if (!result && result.error() == httplib::Error::Connection) {
    std::fputs(kCannotConnect, stderr);
    return 1;
  }
  view.Finish();
  if (!failed && !view.Succeeded()) error = "unexpected EOF";
  if (!error.empty()) {
    std::fprintf(stderr, "Error: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace fake_ollama
