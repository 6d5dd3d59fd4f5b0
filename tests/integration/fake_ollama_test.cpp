// The stand-in runner run as a program: its HTTP API has the real shapes,
// it answers only after its start-up delay, its CLI draws the real progress
// frames of the release it plays and says the real errors, a pull cancelled
// by closing the connection stops and resumes, and the store outlives it.
#include <fstream>
#include <regex>

#include <tests/integration/fake_ollama_fixture.h>
#include <tests/support/vendor_service_process.h>

namespace {

using namespace fake_ollama_test;

TEST_F(FakeOllamaTest, HelpNamesTheRunnerOnItsFirstLine) {
  const ChildResult help = Ollama({"help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(Lines(help.output).at(0), "Large language model runner");
}

TEST_F(FakeOllamaTest, WithoutAServerEachReleaseSaysItsOwnWords) {
  const struct {
    const char* version;
    const char* cannotConnect;
  } cases[] = {
      {"0.5.7", "Error: could not connect to ollama app, is it running?\n"},
      {"0.7.1",
       "Error: ollama server not responding - could not connect to ollama server, run 'ollama "
       "serve' to start it\n"},
      {"0.15.5", "Error: could not connect to ollama server, run 'ollama serve' to start it\n"},
  };
  for (const auto& c : cases) {
    SetVariable("TIDEWELL_FAKE_OLLAMA_VERSION", c.version);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"list"}, {"pull", "deepseek-r1:7b"}}) {
      const ChildResult run = Ollama(args);
      EXPECT_EQ(run.exitCode, 1) << c.version;
      EXPECT_EQ(run.errors, c.cannotConnect) << c.version;
      EXPECT_EQ(run.output, "") << c.version;
    }
    const ChildResult version = Ollama({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output,
              "Warning: could not connect to a running Ollama instance\n"
              "Warning: client version is " +
                  std::string(c.version) + "\n");
  }
}

TEST_F(FakeOllamaTest, ARequestDuringTheStartUpDelayIsAnsweredAfterIt) {
  SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "2000");
  SetVariable("TIDEWELL_FAKE_OLLAMA_VERSION", "0.6.8");
  server_ = std::make_unique<BackgroundChild>(
      std::vector<std::string>{built::FakeOllamaProgram(), "serve"});
  // The port is bound at once: the first connection that gets through is
  // made during the delay, and its request waits rather than failing.
  ASSERT_TRUE(Eventually([&] { return ConnectsToLoopback(port_); }));
  const auto version = Client().Get("/api/version");
  ASSERT_TRUE(version);
  EXPECT_EQ(version->status, 200);
  EXPECT_EQ(version->body, R"({"version":"0.6.8"})");
  EXPECT_EQ(Ollama({"-v"}).output, "ollama version is 0.6.8\n");
}

TEST_F(FakeOllamaTest, PullStreamsTheRealLinesAndTheModelIsListedAndDeleted) {
  VendorServiceProcess vendor({"--model-size-bytes", "3000000", "--model-rate", "6000000"});
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const auto head = Client().Head("/");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);

  const std::vector<Json::Value> lines = Pull(R"({"model":"deepseek-r1:7b"})");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front().toStyledString(),
            Parse(R"({"status":"pulling manifest"})").toStyledString());
  std::vector<std::string> statuses, layers;
  for (const auto& line : lines) {
    const std::string status = line["status"].asString();
    if (!line.isMember("digest")) {
      statuses.push_back(status);
      continue;
    }
    // Each layer line: its short name, the whole digest and the total.
    const std::string digest = line["digest"].asString();
    ASSERT_TRUE(std::regex_match(digest, std::regex("sha256:[0-9a-f]{64}"))) << digest;
    EXPECT_EQ(status, "pulling " + digest.substr(7, 12));
    EXPECT_GT(line["total"].asInt64(), 0);
    EXPECT_LE(line["completed"].asInt64(), line["total"].asInt64());
    if (layers.empty() || layers.back() != digest) layers.push_back(digest);
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"pulling manifest", "verifying sha256 digest",
                                                "writing manifest", "success"}));
  // The model blob, then template, license, parameters and config, one
  // after the other, each reaching its total.
  ASSERT_EQ(layers.size(), 5u);
  EXPECT_EQ(lines[1]["total"].asInt64(), 3000000);
  for (const auto& digest : layers) {
    EXPECT_TRUE(fs::is_regular_file(store() / "blobs" / ("sha256-" + digest.substr(7))));
  }
  EXPECT_TRUE(fs::is_regular_file(store() / "manifests/registry.ollama.ai/library/deepseek-r1/7b"));

  const auto tags = Client().Get("/api/tags");
  ASSERT_TRUE(tags);
  const Json::Value models = Parse(tags->body)["models"];
  ASSERT_EQ(models.size(), 1u);
  EXPECT_EQ(models[0]["name"].asString(), "deepseek-r1:7b");
  EXPECT_EQ(models[0]["model"].asString(), "deepseek-r1:7b");
  EXPECT_GT(models[0]["size"].asInt64(), 3000000);
  EXPECT_TRUE(std::regex_match(models[0]["digest"].asString(), std::regex("[0-9a-f]{64}")));
  EXPECT_TRUE(std::regex_match(
      models[0]["modified_at"].asString(),
      std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{1,9})?(Z|[+-]\d\d:\d\d))")));
  EXPECT_EQ(models[0]["details"]["format"].asString(), "gguf");

  // The store outlives the server.
  server_->Stop();
  Serve(vendor.ModelSource());
  const ChildResult list = Ollama({"list"});
  ASSERT_EQ(Lines(list.output).size(), 2u) << list.output;
  EXPECT_TRUE(std::regex_match(
      Lines(list.output)[1],
      std::regex("deepseek-r1:7b +" + models[0]["digest"].asString().substr(0, 12) +
                 " +3\\.0 MB +(Less than a second|[0-9]+ seconds?) ago +")));

  httplib::Request remove;
  remove.method = "DELETE";
  remove.path = "/api/delete";
  remove.body = R"({"model":"deepseek-r1:7b"})";
  auto deleted = Client().send(remove);
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->status, 200);
  deleted = Client().send(remove);
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->status, 404);
  EXPECT_EQ(deleted->body, R"({"error":"model 'deepseek-r1:7b' not found"})");
  EXPECT_TRUE(fs::is_empty(store() / "blobs"));
}

TEST_F(FakeOllamaTest, FailuresComeAsTheRealErrorLinesAndAnswers) {
  VendorServiceProcess vendor({"--broken-model", "deepseek-r1:8b"});
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const struct {
    const char* body;
    int status;
    const char* last;
  } cases[] = {
      {R"({"model":"deepseek-r1:9b"})", 200,
       R"({"error":"pull model manifest: file does not exist"})"},
      {R"({"name":"deepseek-r1:8b"})", 200, R"({"error":"max retries exceeded: unexpected EOF"})"},
      {R"({"model":"deepseek-r1:9b","stream":false})", 500,
       R"({"error":"pull model manifest: file does not exist"})"},
      {R"({"model":"../escape"})", 400, R"({"error":"invalid model name"})"},
      {"", 400, R"({"error":"missing request body"})"},
      {"{", 400, R"({"error":"unexpected EOF"})"},
      {R"({"model":7})", 400,
       R"({"error":"json: cannot unmarshal number into Go struct field PullRequest.model of type string"})"},
  };
  for (const auto& c : cases) {
    httplib::Request request;
    request.method = "POST";
    request.path = "/api/pull";
    request.body = c.body;
    const auto answer = Client().send(request);
    ASSERT_TRUE(answer) << c.body;
    EXPECT_EQ(answer->status, c.status) << c.body;
    EXPECT_EQ(Lines(answer->body).back(), c.last) << c.body;
  }
  const ChildResult pull = Ollama({"pull", "deepseek-r1:9b"});
  EXPECT_EQ(pull.exitCode, 1);
  EXPECT_EQ(Lines(pull.errors).back(), "Error: pull model manifest: file does not exist");
  // The broken download stays, for the next pull to resume.
  EXPECT_FALSE(fs::is_empty(store() / "blobs"));
  EXPECT_EQ(Ollama({"list"}).output, "NAME    ID    SIZE    MODIFIED    \n");
}

TEST_F(FakeOllamaTest, ClosingTheConnectionStopsThePullWhichThenResumes) {
  VendorServiceProcess vendor({"--model-size-bytes", "4000000", "--model-rate", "2000000"});
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  std::string digest;
  const auto cut = Pull(R"({"model":"deepseek-r1:7b"})", [&](const Json::Value& line) {
    if (line["completed"].asInt64() == 0) return true;
    digest = line["digest"].asString();
    return false;
  });
  ASSERT_FALSE(digest.empty());
  const fs::path partial = store() / "blobs" / ("sha256-" + digest.substr(7) + "-partial");
  fs::path record = partial;
  record += "-0";
  // The download stops with its part record saying how far it came.
  std::int64_t stopped = -1;
  ASSERT_TRUE(Eventually([&] {
    std::ifstream in(record);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) return false;
    const std::int64_t completed = Parse(text)["Completed"].asInt64();
    const bool still = completed == stopped;
    stopped = completed;
    return still && completed > 0;
  }));
  EXPECT_LT(stopped, 4000000);
  EXPECT_TRUE(fs::is_regular_file(partial));

  const std::vector<Json::Value> resumed = Pull(R"({"model":"deepseek-r1:7b"})");
  ASSERT_FALSE(resumed.empty());
  EXPECT_EQ(resumed.back()["status"].asString(), "success");
  for (const auto& line : resumed) {
    if (line["digest"].asString() == digest) {
      EXPECT_GE(line["completed"].asInt64(), stopped);
    }
  }
  EXPECT_FALSE(fs::exists(partial));
  EXPECT_FALSE(fs::exists(record));
}

TEST_F(FakeOllamaTest, CliProgressIsDrawnAsEachReleaseDrawsIt) {
  VendorServiceProcess vendor({"--model-size-bytes", "12000000", "--model-rate", "8000000"});
  ASSERT_TRUE(vendor.Started());
  const struct {
    const char* version;
    const char* label;
    bool synchronized;
    const char* tag;
  } cases[] = {{"0.5.7", R"(pulling [0-9a-f]{12}\.\.\. )", false, "deepseek-r1:7b"},
               {"0.6.6", "pulling [0-9a-f]{12}: ", true, "deepseek-r1:8b"}};
  for (const auto& c : cases) {
    SetVariable("TIDEWELL_FAKE_OLLAMA_VERSION", c.version);
    Serve(vendor.ModelSource());
    const ChildResult pull = Ollama({"pull", c.tag});
    ASSERT_EQ(pull.exitCode, 0) << pull.errors;
    EXPECT_EQ(pull.output, "");
    const std::string& err = pull.errors;
    // Running: both sizes right-aligned to six characters.
    EXPECT_TRUE(std::regex_search(
        err, std::regex(std::string(c.label) + R"( *\d+% ▕[█ ]+▏ [ \d.]{2}\d [KM]B/ 12 MB)")))
        << c.version;
    // Done: the total alone.
    EXPECT_TRUE(std::regex_search(err, std::regex(std::string(c.label) + "100% ▕(?:█)+▏  12 MB ")))
        << c.version;
    EXPECT_TRUE(std::regex_search(err, std::regex(std::string(c.label) + "100% ▕(?:█)+▏  387 B ")))
        << c.version;
    EXPECT_EQ(Count(err, "\x1b[?2026h") > 0, c.synchronized) << c.version;
    EXPECT_EQ(Count(err, "\x1b[?2026h"), Count(err, "\x1b[?2026l")) << c.version;
    EXPECT_EQ(Count(err, "\x1b[?25l"), Count(err, "\x1b[?25h")) << c.version;
    EXPECT_NE(err.find("success "), std::string::npos) << c.version;
    EXPECT_EQ(err.back(), '\n') << c.version;
    server_->Stop();
  }
}

}  // namespace
