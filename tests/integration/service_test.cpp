// The service client against a local HTTP server that misbehaves on purpose.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <config/app_constants.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/child.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>

namespace {

const std::string& Filler() {
  static const std::string filler(kMaxResponseBytes, ' ');
  return filler;
}

struct SeenRequest {
  std::string path;
  std::string query;
  httplib::Headers headers;
};

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() {
    AppConstants& constants = GetAppConstants();  // built inside the private home
    saved_ = constants;
    constants.deviceId = "ab12";
    constants.channel = "ch01";
    constants.clientVersion = "1.0.0.1";
    constants.osName = "windows10";
    Route("/api/dpsk/config", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      res.status = configStatus_;
      res.set_content(configBody_, "application/json");
    });
    server_.server().Get(R"(/dpsk/log/log/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           Record(req);
                           res.status = 200;
                         });
    // Reports that are answered only when the test says so.
    server_.server().Get(R"(/slow-log/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           Record(req);
                           for (int i = 0; i < 1000 && !slowLogAnswer_; ++i) {
                             std::this_thread::sleep_for(std::chrono::milliseconds(10));
                           }
                           res.status = 200;
                         });
    server_.server().Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/page");
    });
    server_.server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("final page", "text/plain");
    });
    server_.server().Get("/empty204",
                         [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server_.server().Get("/notfound", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html>missing</html>", "text/html");
    });
    server_.server().Get("/error", [](const httplib::Request&, httplib::Response& res) {
      res.status = 500;
      res.set_content("{\"error\":1}", "application/json");
    });
    server_.server().Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink& sink) {
        sink.write("no ", 3);
        sink.write("length", 6);
        sink.done();
        return true;
      });
    });
    // Over the answer limit, both with a length announced up front and streamed without one.
    server_.server().Get("/huge", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"serviceurl":"S"})" + Filler(), "application/json");
    });
    server_.server().Get("/huge-chunked", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
        if (offset > 2 * kMaxResponseBytes) return false;
        sink.write(Filler().data(), 65536);
        return true;
      });
    });
    server_.server().Get("/limit", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Filler(), "text/plain");
    });
    server_.server().Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("file:///etc/hostname");
    });
    server_.Start();
    constants.serviceBaseUrl = server_.Url();
    constants.remoteConfigUrl = server_.Url("/api/dpsk/config");
    constants.eventLogUrl = server_.Url("/dpsk/log/log");
    state_.requestTimeoutMs = 3000;
  }
  ~ServiceTest() override { GetAppConstants() = saved_; }

  template <typename Handler>
  void Route(const std::string& path, Handler handler) {
    server_.server().Get(path,
                         [this, handler](const httplib::Request& req, httplib::Response& res) {
                           Record(req);
                           handler(req, res);
                         });
  }
  void Record(const httplib::Request& req) {
    std::lock_guard lock(mutex_);
    std::string query;
    for (const auto& [name, value] : req.params) {
      query += (query.empty() ? "" : "&") + name + "=" + value;
    }
    seen_.push_back({req.path, query, req.headers});
  }
  void Answer(int status, const std::string& body) {
    std::lock_guard lock(mutex_);
    configStatus_ = status;
    configBody_ = body;
  }
  std::vector<SeenRequest> Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

  TempHome home_;
  AppConstants saved_ = GetAppConstants();
  TestServer server_;
  CServiceState state_;
  std::mutex mutex_;
  int configStatus_ = 200;
  std::string configBody_ = "{}";
  std::vector<SeenRequest> seen_;
  std::atomic<bool> slowLogAnswer_{false};
};

TEST_F(ServiceTest, QueryAndHeadersAreBuiltExactlyAndUnescaped) {
  EXPECT_EQ(state_.BuildQueryString(), "uuid=ab12&channel=ch01&client_version=1.0.0.1");
  GetAppConstants().channel = "a&b c";
  EXPECT_EQ(state_.BuildQueryString(), "uuid=ab12&channel=a&b c&client_version=1.0.0.1");
  HeaderSet headers{{"channel", "old"}, {"X-Keep", "1"}};
  state_.FillCommonHeaders(headers);
  EXPECT_EQ(headers, (HeaderSet{{"channel", "a&b c"},
                                {"client_version", "1.0.0.1"},
                                {"osver", "windows10"},
                                {"Content-Type", "application/json"},
                                {"X-Keep", "1"}}));
}

TEST_F(ServiceTest, HttpGetAcceptsOnly2xxAndFollowsRedirects) {
  std::string body = "previous";
  EXPECT_TRUE(state_.HttpGet(server_.Url("/empty204"), {}, body));
  EXPECT_EQ(body, "");
  body = "previous";
  EXPECT_FALSE(state_.HttpGet(server_.Url("/notfound"), {}, body));
  EXPECT_EQ(body, "previous");
  EXPECT_FALSE(state_.HttpGet(server_.Url("/error"), {}, body));
  EXPECT_EQ(body, "previous");
  EXPECT_TRUE(state_.HttpGet(server_.Url("/redirect"), {}, body));
  EXPECT_EQ(body, "final page");
  EXPECT_TRUE(state_.HttpGet(server_.Url("/chunked"), {}, body));
  EXPECT_EQ(body, "no length");
}

TEST_F(ServiceTest, TransportFailuresAreFalse) {
  std::string body = "kept";
  {
    RawServer dropping(RawServer::Mode::DropAtOnce);
    EXPECT_FALSE(state_.HttpGet(dropping.Url(), {}, body));
  }
  EXPECT_FALSE(state_.HttpGet("http://127.0.0.1:1/", {}, body));  // refused
  EXPECT_FALSE(state_.HttpGet("not a url", {}, body));
  EXPECT_EQ(body, "kept");

  RawServer silent(RawServer::Mode::NeverAnswer);
  state_.requestTimeoutMs = 500;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(state_.HttpGet(silent.Url(), {}, body));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.45);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(CServiceState::kRequestTimeoutMs, 30000);  // what the product uses
}

TEST_F(ServiceTest, RemoteConfigRequestCarriesTheIdentityTwice) {
  Answer(200, R"({"serviceurl":"https://kf.example/chat","DeepSeekUrl":"http://pkg/x.zip","x":1})");
  state_.FetchRemoteConfig();
  EXPECT_EQ(state_.serviceUrl, "https://kf.example/chat");
  EXPECT_EQ(state_.packageUrl, "http://pkg/x.zip");
  const auto seen = Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].path, "/api/dpsk/config");
  EXPECT_EQ(seen[0].query,
            "channel=ch01&client_version=1.0.0.1&uuid=ab12");  // sorted by the server
  auto header = [&](const char* name) {
    const auto it = seen[0].headers.find(name);
    return it == seen[0].headers.end() ? std::string("<none>") : it->second;
  };
  EXPECT_EQ(header("client_version"), "1.0.0.1");
  EXPECT_EQ(header("channel"), "ch01");
  EXPECT_EQ(header("osver"), "windows10");
  EXPECT_EQ(header("Content-Type"), "application/json");
  EXPECT_EQ(header("User-Agent").rfind("curl/", 0), 0u);
}

TEST_F(ServiceTest, RemoteConfigAnswersThatEmptyKeepOrSetFields) {
  struct Case {
    int status;
    std::string body;
    std::string serviceUrl;
    std::string packageUrl;
  };
  const std::string full = R"({"serviceurl":"S","DeepSeekUrl":"P"})";
  for (const Case& c : {
           Case{200, "", "", ""},                          // no braces: {}
           Case{200, "<html>maintenance</html>", "", ""},  // no braces: {}
           Case{200, R"({"serviceurl": 5, "DeepSeekUrl":"P"})", "", "P"},
           Case{200, R"({"serviceurl":"S"})", "S", ""},
           Case{200, R"(["serviceurl","S"] {)", "", ""},  // parses as an array
           Case{200, R"({"serviceurl":)", "", ""},        // no closing brace: {}
           Case{200, R"({"serviceurl": })", "S", "P"},    // braces, not JSON: kept
           Case{500, full + " ", "S", "P"},               // not 2xx: kept
           Case{200, R"({"serviceurl":"客服 链接","DeepSeekUrl":null})", "客服 链接", ""},
       }) {
    state_.serviceUrl = "S";
    state_.packageUrl = "P";
    Answer(c.status, c.body);
    state_.FetchRemoteConfig();
    EXPECT_EQ(state_.serviceUrl, c.serviceUrl) << c.body;
    EXPECT_EQ(state_.packageUrl, c.packageUrl) << c.body;
  }
}

TEST_F(ServiceTest, PackageDigestIsAnOptionalStringKey) {
  const std::string digest(64, 'a');
  for (const auto& [body, expected] : std::vector<std::pair<std::string, std::string>>{
           {R"({"DeepSeekUrl":"P","DeepSeekSha256":")" + digest + "\"}", digest},
           {R"({"DeepSeekUrl":"P"})", ""},
           {R"({"DeepSeekUrl":"P","DeepSeekSha256":12})", ""},
       }) {
    state_.packageSha256 = "stale";
    Answer(200, body);
    state_.FetchRemoteConfig();
    EXPECT_EQ(state_.packageSha256, expected) << body;
    EXPECT_EQ(state_.packageUrl, "P");
  }
}

TEST_F(ServiceTest, AnswersOverOneMebibyteFailCleanly) {
  const std::string filler(kMaxResponseBytes, ' ');
  std::string body = "kept";
  EXPECT_FALSE(state_.HttpGet(server_.Url("/huge"), {}, body));
  EXPECT_FALSE(state_.HttpGet(server_.Url("/huge-chunked"), {}, body));
  EXPECT_EQ(body, "kept");
  ASSERT_TRUE(state_.HttpGet(server_.Url("/limit"), {}, body));  // exactly the limit
  EXPECT_EQ(body.size(), kMaxResponseBytes);

  state_.serviceUrl = "before";
  Answer(200, R"({"serviceurl":"S"})" + filler);
  state_.FetchRemoteConfig();
  EXPECT_EQ(state_.serviceUrl, "before");
}

TEST_F(ServiceTest, RedirectsLeadToHttpOnly) {
  std::string body = "kept";
  EXPECT_FALSE(state_.HttpGet(server_.Url("/to-file"), {}, body));
  EXPECT_FALSE(state_.HttpGet("file:///etc/hostname", {}, body));
  EXPECT_EQ(body, "kept");
}

// The configuration asked for over https, and redirected: never back to http,
// where anyone on the way could hand out another package address.
TEST_F(ServiceTest, AnHttpsConfigurationIsNeverRedirectedToHttp) {
  const ChildResult made = RunChild(
      {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
       (home_.root() / "key.pem").string(), "-out", (home_.root() / "cert.pem").string(), "-days",
       "1", "-subj", "/CN=tidewell test", "-addext", "subjectAltName=IP:127.0.0.1"},
      60);
  ASSERT_EQ(made.exitCode, 0) << "openssl could not make a certificate";
  TestServer secure((home_.root() / "cert.pem").string(), (home_.root() / "key.pem").string());
  secure.server().Get("/config", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"serviceurl":"https://kf.example/secure"})", "application/json");
  });
  secure.server().Get("/to-https", [&secure](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(secure.Url("/config"));
  });
  secure.server().Get("/to-http", [this](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(server_.Url("/api/dpsk/config"));
  });
  secure.Start();
  state_.caFile = (home_.root() / "cert.pem").string();
  Answer(200, R"({"serviceurl":"http://kf.example/plain"})");

  struct Case {
    const char* path;
    std::string serviceUrl;  // applied from the answer; empty when none was taken
  };
  const Case cases[] = {
      {"/to-https", "https://kf.example/secure"},  // https to https: followed
      {"/to-http", ""},                            // https to http: no answer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    state_.serviceUrl.clear();
    GetAppConstants().remoteConfigUrl = secure.Url(c.path);
    state_.FetchRemoteConfig();
    EXPECT_EQ(state_.serviceUrl, c.serviceUrl);
  }
  EXPECT_TRUE(Seen().empty());  // the plain server was never asked
}

TEST_F(ServiceTest, ServiceDownLeavesFieldsEmpty) {
  GetAppConstants().remoteConfigUrl = "http://127.0.0.1:1/api/dpsk/config";
  state_.FetchRemoteConfig();
  EXPECT_EQ(state_.serviceUrl, "");
  EXPECT_EQ(state_.packageUrl, "");
}

TEST_F(ServiceTest, EventsTravelInThePath) {
  state_.SendLogEvent("opensoftware");
  state_.SendLogEvent("openUserTutorDeepseek");
  state_.SendLogEvent("openUserTutorDeepseek");
  GetAppConstants().osName = "linux/x86";
  state_.SendLogEvent("noUrlDeepseek");
  const auto seen = Seen();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].path, "/dpsk/log/log/opensoftware/ch01/WX_1.0.0.1/windows10/ab12");
  EXPECT_EQ(seen[0].query, "");
  EXPECT_EQ(seen[0].headers.find("Content-Type")->second, "application/json");
  EXPECT_EQ(seen[1].path, seen[2].path);  // every click is reported
  EXPECT_EQ(seen[3].path, "/dpsk/log/log/noUrlDeepseek/ch01/WX_1.0.0.1/linux/x86/ab12");
}

// A service that answers reports late: each report still leaves at the
// latest a short grace after the one before it, and a caller waiting for
// them to leave is not held up by the answers.
TEST_F(ServiceTest, ReportsLeaveWithoutWaitingForAnswers) {
  std::atomic<bool>& answer = slowLogAnswer_;
  GetAppConstants().eventLogUrl = server_.Url("/slow-log");
  {
    CEventReporter reporter;
    reporter.Report("opensoftware");
    reporter.Report("installDeepseek");
    reporter.WaitSent();
    EXPECT_FALSE(answer);  // nothing has been answered yet
    // Both are on the server's side, in their order.
    for (int i = 0; i < 500 && Seen().size() < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto seen = Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].path.rfind("/slow-log/opensoftware/", 0), 0u) << seen[0].path;
    EXPECT_EQ(seen[1].path.rfind("/slow-log/installDeepseek/", 0), 0u) << seen[1].path;
    answer = true;
    reporter.WaitIdle();
  }
}

TEST_F(ServiceTest, JsonStringsAndDefaults) {
  EXPECT_EQ(state_.GetJsonString(Json::Value("中文"), "d"), "中文");
  EXPECT_EQ(state_.GetJsonString(Json::Value(5), "d"), "d");
  EXPECT_EQ(state_.GetJsonString(Json::Value(), "d"), "d");
  EXPECT_EQ(state_.GetJsonString(Json::Value(Json::objectValue), ""), "");
}

}  // namespace
