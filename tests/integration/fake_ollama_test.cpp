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

// A model as a pull leaves it in the store; its weights a sparse file of the
// size given, which is what the runner sizes its memory by.
void PutModel(const fs::path& store, const std::string& tag, std::uintmax_t weightBytes,
              char weightsHex, char configHex) {
  const std::string weights(64, weightsHex), config(64, configHex);
  const std::string configText =
      R"({"model_format":"gguf","model_family":"qwen2","model_families":["qwen2"],)"
      R"("model_type":"7.6B","file_type":"Q4_K_M"})";
  fs::create_directories(store / "blobs");
  std::ofstream(store / "blobs" / ("sha256-" + config)) << configText;
  std::ofstream(store / "blobs" / ("sha256-" + weights)).close();
  fs::resize_file(store / "blobs" / ("sha256-" + weights), weightBytes);
  const fs::path manifest = store / "manifests/registry.ollama.ai/library/deepseek-r1" / tag;
  fs::create_directories(manifest.parent_path());
  std::ofstream(manifest)
      << R"({"schemaVersion":2,"mediaType":"application/vnd.docker.distribution.manifest.v2+json",)"
      << R"("config":{"mediaType":"application/vnd.docker.container.image.v1+json","digest":"sha256:)"
      << config << R"(","size":)" << configText.size()
      << R"(},"layers":[{"mediaType":"application/vnd.ollama.image.model","digest":"sha256:)"
      << weights << R"(","size":)" << weightBytes << "}]}";
}

// deepseek-r1:7b's weights: with an eighth more and 256 MiB, 5.2 GiB.
constexpr std::uintmax_t kWeights = 4683075271;
const std::string kAnswerText = "<think>\n\n</think>\n\nHello! How can I assist you today? 😊";

// A string as the runner's encoder writes it: '<', '>' and '&' escaped.
std::string GoQuoted(const Json::Value& text) {
  Json::StreamWriterBuilder builder;
  builder["emitUTF8"] = true;
  std::string out;
  for (const char c : Json::writeString(builder, text)) {
    out += c == '<' ? "\\u003c" : c == '>' ? "\\u003e" : c == '&' ? "\\u0026" : std::string(1, c);
  }
  return out;
}

const char* const kCreatedAt = R"("created_at":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{1,9})?Z")";

class FakeOllamaGenerateTest : public FakeOllamaTest {
 protected:
  void Serve() {
    PutModel(store(), "7b", kWeights, 'a', 'c');
    FakeOllamaTest::Serve("");
  }
  httplib::Result Post(const std::string& path, const std::string& body) {
    return Client().Post(path, body, "application/json");
  }
  Json::Value Running() {
    const auto ps = Client().Get("/api/ps");
    EXPECT_TRUE(ps && ps->status == 200);
    return ps ? Parse(ps->body)["models"] : Json::Value();
  }
};

TEST_F(FakeOllamaGenerateTest, AnswersStreamATokenALineOrComeWholeAndEndWithTheirReason) {
  Serve();
  const struct {
    const char* path;
    const char* body;
    bool stream;
    const char* reason;
    std::size_t tokens;
  } cases[] = {
      {"/api/generate", R"({"model":"deepseek-r1:7b","prompt":"Hi there"})", true, "stop", 14},
      {"/api/generate", R"({"model":"deepseek-r1:7b","prompt":"Hi","stream":false})", false, "stop",
       14},
      {"/api/generate", R"({"model":"deepseek-r1:7b","prompt":"Hi","options":{"num_predict":3}})",
       true, "length", 3},
      {"/api/chat", R"({"model":"deepseek-r1:7b","messages":[{"role":"user","content":"Hi"}]})",
       true, "stop", 14},
      {"/api/chat",
       R"({"model":"deepseek-r1:7b","messages":[{"role":"user","content":"Hi"}],"stream":false,)"
       R"("options":{"num_predict":5}})",
       false, "length", 5},
  };
  for (const auto& c : cases) {
    const bool chat = std::string(c.path) == "/api/chat";
    const auto answer = Post(c.path, c.body);
    ASSERT_TRUE(answer) << c.body;
    EXPECT_EQ(answer->status, 200) << c.body;
    EXPECT_EQ(answer->get_header_value("Content-Type"),
              c.stream ? "application/x-ndjson" : "application/json; charset=utf-8");
    const std::vector<std::string> lines = Lines(answer->body);
    ASSERT_EQ(lines.size(), c.stream ? c.tokens + 1 : 1u) << answer->body;
    std::string text;
    const std::string model = Parse(lines[0])["model"].asString();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      // Each token alone, in the struct's field order, nothing empty shown.
      const std::string piece = std::regex_replace(lines[i], std::regex(kCreatedAt), "T");
      const Json::Value line = Parse(lines[i]);
      text += chat ? line["message"]["content"].asString() : line["response"].asString();
      const std::string content = GoQuoted(chat ? line["message"]["content"] : line["response"]);
      EXPECT_EQ(piece, "{\"model\":\"" + model + "\",T," +
                           (chat ? R"("message":{"role":"assistant","content":)" + content + "}"
                                 : R"("response":)" + content) +
                           R"(,"done":false})");
    }
    const Json::Value last = Parse(lines.back());
    text += chat ? last["message"]["content"].asString() : last["response"].asString();
    EXPECT_EQ(text, kAnswerText.substr(0, text.size())) << c.body;
    EXPECT_EQ(last["eval_count"].asUInt64(), c.tokens) << c.body;
    EXPECT_EQ(c.tokens == 14, text == kAnswerText) << c.body;
    const std::string ending = chat ? R"("message":\{"role":"assistant","content":".*"\},)"
                                      R"("done_reason":")" +
                                          std::string(c.reason) + R"(","done":true,)"
                                    : R"("response":".*","done":true,"done_reason":")" +
                                          std::string(c.reason) + R"(","context":\[[0-9,]+\],)";
    EXPECT_TRUE(std::regex_match(
        lines.back(),
        std::regex("\\{\"model\":\"" + model + "\"," + kCreatedAt + "," + ending +
                   R"("total_duration":\d+,"load_duration":\d+,"prompt_eval_count":\d+,)"
                   R"("prompt_eval_duration":\d+,"eval_count":\d+,"eval_duration":\d+\})")))
        << lines.back();
    EXPECT_GE(last["total_duration"].asInt64(), last["eval_duration"].asInt64());
    if (!chat) {
      EXPECT_EQ(last["context"].size(), last["prompt_eval_count"].asUInt() + c.tokens);
    }
  }
}

TEST_F(FakeOllamaGenerateTest, NothingToAnswerLoadsTheModelAndKeepAliveZeroUnloadsIt) {
  Serve();
  EXPECT_EQ(Running().size(), 0u);
  const struct {
    const char* path;
    const char* body;
    const char* answer;  // after created_at
    std::size_t running;
  } cases[] = {
      {"/api/generate", R"({"model":"deepseek-r1:7b"})",
       R"("response":"","done":true,"done_reason":"load"})", 1},
      {"/api/generate", R"({"model":"deepseek-r1:7b","prompt":"","keep_alive":0})",
       R"("response":"","done":true,"done_reason":"unload"})", 0},
      {"/api/chat", R"({"model":"deepseek-r1:7b","messages":[]})",
       R"("message":{"role":"assistant","content":""},"done_reason":"load","done":true})", 1},
      {"/api/chat", R"({"model":"deepseek-r1:7b","keep_alive":"0s"})",
       R"("message":{"role":"assistant","content":""},"done_reason":"unload","done":true})", 0},
  };
  for (const auto& c : cases) {
    const auto answer = Post(c.path, c.body);
    ASSERT_TRUE(answer) << c.body;
    EXPECT_EQ(answer->status, 200) << c.body;
    EXPECT_TRUE(std::regex_match(
        answer->body, std::regex(R"(\{"model":"deepseek-r1:7b",)" + std::string(kCreatedAt) + "," +
                                 std::regex_replace(c.answer, std::regex(R"([{}])"), R"(\$&)"))))
        << answer->body;
    EXPECT_EQ(Running().size(), c.running) << c.body;
  }
}

TEST_F(FakeOllamaGenerateTest, RequestsTheRealServerRefusesGetItsStatusAndWords) {
  Serve();
  const struct {
    const char* path;
    const char* body;
    int status;
    const char* answer;
  } cases[] = {
      {"/api/generate", R"({"model":"deepseek-r1:70b","prompt":"Hi"})", 404,
       R"({"error":"model 'deepseek-r1:70b' not found"})"},
      {"/api/chat", R"({"model":"deepseek-r1:70b","messages":[]})", 404,
       R"({"error":"model \"deepseek-r1:70b\" not found, try pulling it first"})"},
      {"/api/generate", R"({"prompt":"Hi"})", 404, R"({"error":"model '' not found"})"},
      {"/api/chat", R"({"messages":[{"role":"user","content":"Hi"}]})", 400,
       R"({"error":"model is required"})"},
      {"/api/chat", "", 400, R"({"error":"missing request body"})"},
      {"/api/chat", R"({"model":"deepseek-r1:7b","messages":"Hi"})", 400,
       R"({"error":"json: cannot unmarshal string into Go struct field ChatRequest.messages of type []api.Message"})"},
      {"/api/generate", R"({"model":"deepseek-r1:7b","keep_alive":"5 minutes"})", 400,
       R"({"error":"time: unknown unit \" minutes\" in duration \"5 minutes\""})"},
      {"/api/generate", R"({"model":"deepseek-r1:7b","keep_alive":true})", 400,
       R"({"error":"Unsupported type: 'bool'"})"},
      {"/api/generate",
       R"({"model":"deepseek-r1:7b","prompt":"Hi","raw":true,"system":"Be brief"})", 400,
       R"({"error":"raw mode does not support template, system, or context"})"},
      {"/api/generate", R"({"model":"deepseek-r1:7b","prompt":"Hi","options":{"num_predict":"9"}})",
       500, R"({"error":"option \"num_predict\" must be of type integer"})"},
  };
  for (const auto& c : cases) {
    const auto answer = Post(c.path, c.body);
    ASSERT_TRUE(answer) << c.body;
    EXPECT_EQ(answer->status, c.status) << c.body;
    EXPECT_EQ(answer->body, c.answer) << c.body;
  }
  EXPECT_EQ(Running().size(), 0u);
}

// Loads that fail as the real ones do: too little memory for the model (the
// runner's figures in its words), or a runner process that ends while
// loading; every request fails alike and nothing stays loaded.
TEST_F(FakeOllamaGenerateTest, LoadsFailAsTheRealOnesDo) {
  const struct {
    const char* variable;
    const char* value;
    int status;
    const char* error;  // "" when it loads
  } cases[] = {
      {"TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", "4000000000", 500,
       "model requires more system memory (5.2 GiB) than is available (3.7 GiB)"},
      {"TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", "1000", 500,
       "model requires more system memory (5.2 GiB) than is available (1000 B)"},
      {"TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", "6000000000", 200, ""},
      {"TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING", "1", 500,
       "llama runner process has terminated: exit status 2"},
  };
  for (const auto& c : cases) {
    SetVariable(c.variable, c.value);
    Serve();
    for (const char* path : {"/api/generate", "/api/chat", "/api/generate"}) {
      const auto answer = Post(path, R"({"model":"deepseek-r1:7b"})");
      ASSERT_TRUE(answer);
      EXPECT_EQ(answer->status, c.status) << c.variable << "=" << c.value << " " << path;
      if (c.error[0] != '\0') {
        EXPECT_EQ(answer->body, "{\"error\":\"" + std::string(c.error) + "\"}") << path;
      }
    }
    EXPECT_EQ(Running().size(), c.error[0] == '\0' ? 1u : 0u) << c.value;
    server_->Stop();
    UnsetVariable(c.variable);
  }
}

TEST_F(FakeOllamaGenerateTest, AModelThatDoesNotFitBesideAnIdleOneUnloadsIt) {
  // Room for one model of the two.
  SetVariable("TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", "8000000000");
  PutModel(store(), "8b", kWeights, 'b', 'd');
  Serve();
  for (const char* model : {"deepseek-r1:7b", "deepseek-r1:8b"}) {
    const auto answer = Post("/api/generate", "{\"model\":\"" + std::string(model) + "\"}");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200) << answer->body;
    const Json::Value running = Running();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0]["name"].asString(), model);
  }
}

TEST_F(FakeOllamaGenerateTest, TheFirstRequestWaitsForTheLoadAndLaterOnesFindTheModelLoaded) {
  SetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS", "1500");
  Serve();
  const auto first =
      Post("/api/generate", R"({"model":"deepseek-r1:7b","prompt":"Hi","stream":false,)"
                            R"("keep_alive":"1h"})");
  ASSERT_TRUE(first);
  EXPECT_GE(Parse(first->body)["load_duration"].asInt64(), 1'500'000'000);
  // Held for its keep-alive: listed with what it needs, on no graphics card.
  const Json::Value running = Running();
  ASSERT_EQ(running.size(), 1u);
  EXPECT_EQ(running[0]["name"].asString(), "deepseek-r1:7b");
  EXPECT_EQ(running[0]["model"].asString(), "deepseek-r1:7b");
  EXPECT_EQ(running[0]["size"].asUInt64(), kWeights + kWeights / 8 + (256u << 20));
  EXPECT_EQ(running[0]["size_vram"].asInt(), 0);
  // Listed in the struct's field order.
  const auto ps = Client().Get("/api/ps");
  ASSERT_TRUE(ps);
  EXPECT_TRUE(std::regex_match(
      ps->body,
      std::regex(R"(\{"models":\[\{"name":"deepseek-r1:7b","model":"deepseek-r1:7b","size":\d+,)"
                 R"("digest":"[0-9a-f]{64}","details":\{"parent_model":"","format":"gguf",)"
                 R"("family":"qwen2","families":\["qwen2"\],"parameter_size":"7.6B",)"
                 R"("quantization_level":"Q4_K_M"\},)"
                 R"re("expires_at":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{1,9})?(Z|[+-]\d\d:\d\d)",)re"
                 R"("size_vram":0\}\]\})")))
      << ps->body;
  // The next request finds it loaded and gives it a keep-alive of a second,
  // after which it goes.
  const auto second = Post("/api/chat", R"({"model":"deepseek-r1:7b","keep_alive":1})");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, 200);
  EXPECT_TRUE(Eventually([&] { return Running().empty(); }));
}

}  // namespace
