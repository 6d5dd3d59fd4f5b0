// The service client over https, with a certificate openssl makes: the test
// server's TLS needs OpenSSL, which the Windows test build does without.
#include <tests/integration/service_fixture.h>

namespace {

using namespace service_fixture;

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

}  // namespace
