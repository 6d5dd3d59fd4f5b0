#pragma once
// The runner stand-in started as the tests' own child: a private store, a
// free port and quick retries, with helpers to read what it answers.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <json/json.h>
#include <tests/fakes/utf8_path.h>
#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/loopback_socket.h>
#include <tests/support/temp_home.h>
#include <tests/support/variables.h>

namespace fake_ollama_test {

namespace fs = std::filesystem;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline Json::Value Parse(const std::string& text) {
  Json::Value value;
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &error)) << text;
  return value;
}

inline std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

class FakeOllamaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreeLoopbackPort();
    SetVariable("OLLAMA_HOST", ("127.0.0.1:" + std::to_string(port_)).c_str());
    SetVariable("OLLAMA_MODELS", fake_text::PathText(store()).c_str());
    SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "0");
    SetVariable("TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", "1");
    SetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS", "50");
  }
  void TearDown() override {
    server_.reset();
    for (const char* name :
         {"OLLAMA_HOST", "OLLAMA_MODELS", "TIDEWELL_MODEL_SOURCE",
          "TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "TIDEWELL_FAKE_OLLAMA_VERSION",
          "TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", "TIDEWELL_FAKE_OLLAMA_LOAD_MS",
          "TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", "TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING"}) {
      UnsetVariable(name);
    }
  }
  fs::path store() const { return home_.root() / fs::path(u8"模型 store"); }
  // Starts `ollama serve` fetching from source; waits until it answers.
  void Serve(const std::string& source) {
    SetVariable("TIDEWELL_MODEL_SOURCE", source.c_str());
    server_ = std::make_unique<BackgroundChild>(
        std::vector<std::string>{built::FakeOllamaProgram(), "serve"});
    ASSERT_TRUE(Eventually([&] {
      const auto answer = Client().Get("/");
      return answer && answer->body == "Ollama is running";
    }));
  }
  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(120);
    return client;
  }
  ChildResult Ollama(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {built::FakeOllamaProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChildWithOutput(argv, 120);
  }
  // POST /api/pull, streamed; keepGoing sees each line and may end the
  // request by closing the connection.
  std::vector<Json::Value> Pull(const std::string& body,
                                const std::function<bool(const Json::Value&)>& keepGoing = nullptr,
                                int* status = nullptr) {
    std::vector<Json::Value> lines;
    std::string pending;
    httplib::Request request;
    request.method = "POST";
    request.path = "/api/pull";
    request.body = body;
    request.response_handler = [&](const httplib::Response& response) {
      if (status != nullptr) *status = response.status;
      return true;
    };
    request.content_receiver = [&](const char* data, std::size_t length, std::uint64_t,
                                   std::uint64_t) {
      pending.append(data, length);
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        lines.push_back(Parse(pending.substr(0, end)));
        pending.erase(0, end + 1);
        if (keepGoing && !keepGoing(lines.back())) return false;
      }
      return true;
    };
    Client().send(request);
    return lines;
  }

  TempHome home_;
  int port_ = 0;
  std::unique_ptr<BackgroundChild> server_;
};

}  // namespace fake_ollama_test
