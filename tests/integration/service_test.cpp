// The service client against a local HTTP server that misbehaves on purpose.
#include <tests/integration/service_fixture.h>

#include <platform/os_encoding.h>
#include <platform/utf.h>

namespace {

using namespace service_fixture;

// UTF-8 text as the system's narrow interfaces hold it.
std::string OsText(const char* utf8) {
  return platform::WideToOsNarrow(platform::Utf8ToWide(utf8));
}

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
           // Kept in the system's own narrow text (code page 936 on Windows).
           Case{200, R"({"serviceurl":"客服 链接","DeepSeekUrl":null})", OsText("客服 链接"), ""},
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

TEST_F(ServiceTest, PackageVersionIsKeptOnlyAsDottedNumbers) {
  for (const auto& [field, expected] : std::vector<std::pair<std::string, std::string>>{
           {R"("1.10.2")", "1.10.2"},
           {R"("2")", "2"},
           {R"("1.2-beta")", ""},
           {R"("1.2\n")", ""},
           {R"("")", ""},
           {"12", ""},
       }) {
    state_.packageVersion = "stale";
    Answer(200, R"({"DeepSeekUrl":"P","DeepSeekVersion":)" + field + "}");
    state_.FetchRemoteConfig();
    EXPECT_EQ(state_.packageVersion, expected) << field;
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
  EXPECT_EQ(state_.GetJsonString(Json::Value("中文"), "d"), OsText("中文"));
  EXPECT_EQ(state_.GetJsonString(Json::Value(5), "d"), "d");
  EXPECT_EQ(state_.GetJsonString(Json::Value(), "d"), "d");
  EXPECT_EQ(state_.GetJsonString(Json::Value(Json::objectValue), ""), "");
}

}  // namespace
