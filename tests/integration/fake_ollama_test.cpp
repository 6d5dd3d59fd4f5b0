// The stand-in runner as the engine drives it: list and pull need the
// server, pull prints the real runner's progress shapes and records the
// model, and a broken source fails without recording anything.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include <tests/support/built_programs.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>
#include <tests/support/vendor_service_process.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kCannotConnect =
    "Error: could not connect to ollama server, run 'ollama serve' to start it\n";

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string FirstWord(const std::string& line) { return line.substr(0, line.find(' ')); }

class FakeOllamaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreePort();
    ::setenv("OLLAMA_HOST", ("127.0.0.1:" + std::to_string(port_)).c_str(), 1);
    ::setenv("OLLAMA_MODELS", store().c_str(), 1);
  }
  void TearDown() override {
    server_.reset();
    for (const char* name : {"OLLAMA_HOST", "OLLAMA_MODELS", "TIDEWELL_MODEL_SOURCE"}) {
      ::unsetenv(name);
    }
  }
  fs::path store() const { return home_.root() / "模型 store"; }
  // Starts `ollama serve` fetching from source and waits until it answers.
  void Serve(const std::string& source) {
    ::setenv("TIDEWELL_MODEL_SOURCE", source.c_str(), 1);
    server_ = std::make_unique<BackgroundChild>(
        std::vector<std::string>{built::FakeOllamaProgram(), "serve"});
    httplib::Client client("127.0.0.1", port_);
    ASSERT_TRUE(Eventually([&] {
      const auto answer = client.Get("/");
      return answer && answer->body == "Ollama is running";
    }));
  }
  ChildResult Ollama(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {built::FakeOllamaProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChildWithOutput(argv, 60);
  }
  std::vector<std::string> ListedNames() {
    const ChildResult list = Ollama({"list"});
    EXPECT_EQ(list.exitCode, 0) << list.errors;
    std::vector<std::string> names;
    const std::vector<std::string> lines = Lines(list.output);
    for (std::size_t i = 1; i < lines.size(); ++i) names.push_back(FirstWord(lines[i]));
    return names;
  }

  TempHome home_;
  int port_ = 0;
  std::unique_ptr<BackgroundChild> server_;
};

TEST_F(FakeOllamaTest, HelpNamesTheRunnerOnItsFirstLine) {
  const ChildResult help = Ollama({"help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(Lines(help.output).at(0), "Large language model runner");
}

TEST_F(FakeOllamaTest, ListAndPullCannotConnectUntilTheServerRuns) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"list"}, {"pull", "deepseek-r1:7b"}}) {
    const ChildResult run = Ollama(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, kCannotConnect);
    EXPECT_EQ(run.output, "");
  }
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const ChildResult list = Ollama({"list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.output, "NAME    ID    SIZE    MODIFIED    \n");
}

TEST_F(FakeOllamaTest, PullShowsProgressAndTheModelIsListedAcrossRestarts) {
  VendorServiceProcess vendor({"--model-size-bytes", "4200000"});
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const ChildResult pull = Ollama({"pull", "deepseek-r1:7b"});
  ASSERT_EQ(pull.exitCode, 0) << pull.errors;
  const std::string& out = pull.output;
  EXPECT_EQ(out.rfind("\x1b[?25l", 0), 0u);  // the cursor is hidden first
  EXPECT_NE(out.find("pulling manifest"), std::string::npos);
  EXPECT_TRUE(
      std::regex_search(out, std::regex("pulling [0-9a-f]{12}: 100% ▕(█){25}▏ 4\\.2 MB/4\\.2 MB")));
  EXPECT_NE(out.find("\nverifying sha256 digest\nwriting manifest\nsuccess\n\x1b[?25h"),
            std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 6), "\x1b[?25h");

  const ChildResult list = Ollama({"list"});
  const std::vector<std::string> lines = Lines(list.output);
  ASSERT_EQ(lines.size(), 2u) << list.output;
  EXPECT_EQ(lines[0].rfind("NAME ", 0), 0u);
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("deepseek-r1:7b +[0-9a-f]{12} +4\\.2 MB +(Less than a second|[0-9]+ "
                           "seconds?) ago +")));

  // The store outlives the server.
  server_->Stop();
  EXPECT_EQ(Ollama({"list"}).errors, kCannotConnect);
  Serve(vendor.ModelSource());
  EXPECT_EQ(ListedNames(), std::vector<std::string>{"deepseek-r1:7b"});
}

TEST_F(FakeOllamaTest, BrokenOrMissingModelsFailAndRecordNothing) {
  VendorServiceProcess vendor({"--broken-model", "deepseek-r1:8b"});
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());

  const ChildResult dropped = Ollama({"pull", "deepseek-r1:8b"});
  EXPECT_NE(dropped.exitCode, 0);
  EXPECT_EQ(dropped.errors, "Error: max retries exceeded: unexpected EOF\n");

  const ChildResult unknown = Ollama({"pull", "deepseek-r1:9b"});
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_EQ(unknown.errors, "Error: pull model manifest: file does not exist\n");

  const ChildResult invalid = Ollama({"pull", "../escape"});
  EXPECT_NE(invalid.exitCode, 0);
  EXPECT_EQ(invalid.errors, "Error: invalid model name\n");

  EXPECT_TRUE(ListedNames().empty());
  // No partial download stays in the store.
  EXPECT_TRUE(fs::is_empty(store() / "blobs"));
}

TEST_F(FakeOllamaTest, ASourceThatIsDownFailsThePull) {
  Serve("http://127.0.0.1:" + std::to_string(FreePort()) + "/models");
  const ChildResult pull = Ollama({"pull", "deepseek-r1:7b"});
  EXPECT_NE(pull.exitCode, 0);
  EXPECT_EQ(pull.errors.rfind("Error: pull model manifest: ", 0), 0u) << pull.errors;
  EXPECT_TRUE(ListedNames().empty());
}

}  // namespace
