// Requests of other methods than GET: what leaves, and the redirect rule.
#include <gtest/gtest.h>

#include <net/http_client.h>
#include <tests/support/test_server.h>

namespace {

struct RequestCase {
  const char* name;
  std::string method;
  std::string path;
  std::string body;
  std::string contentType;
  long status;         // 0: no answer
  std::string answer;  // what the server saw: "METHOD|type|body"
};

TEST(HttpRequest, SendsTheMethodAndBodyUnderTheGetRules) {
  TestServer server;
  const auto echo = [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.method + "|" + req.get_header_value("Content-Type") + "|" + req.body,
                    "text/plain");
  };
  server.server().Get("/echo", echo);
  server.server().Post("/echo", echo);
  server.server().Delete("/echo", echo);
  server.server().Put("/echo", echo);
  server.server().Delete("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content(R"({"error":"model 'x' not found"})", "application/json");
  });
  for (const int code : {303, 307, 308}) {
    const std::string from = "/moved-" + std::to_string(code);
    const auto move = [&server, code](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(server.Url("/echo"), code);
    };
    server.server().Post(from, move);
    server.server().Delete(from, move);
  }
  server.server().Delete("/to-ftp", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("ftp://127.0.0.1/echo", 307);
  });
  server.Start();

  const std::string json = R"({"model":"deepseek-r1:7b"})";
  const std::vector<RequestCase> cases = {
      {"get", "GET", "/echo", "", "", 200, "GET||"},
      {"post", "POST", "/echo", json, "application/json", 200, "POST|application/json|" + json},
      {"delete", "DELETE", "/echo", json, "application/json", 200,
       "DELETE|application/json|" + json},
      {"delete, empty body", "DELETE", "/echo", "", "application/json", 200,
       "DELETE|application/json|"},
      {"an error status is the answer", "DELETE", "/missing", json, "application/json", 404,
       R"({"error":"model 'x' not found"})"},
      {"303: on as a GET without the body", "POST", "/moved-303", json, "application/json", 200,
       "GET||"},
      {"307 keeps method and body", "DELETE", "/moved-307", json, "application/json", 200,
       "DELETE|application/json|" + json},
      {"308 keeps method and body", "POST", "/moved-308", json, "application/json", 200,
       "POST|application/json|" + json},
      {"redirect to another scheme", "DELETE", "/to-ftp", json, "application/json", 0, ""},
      {"other methods", "PUT", "/echo", json, "application/json", 0, ""},
      {"lowercase method", "post", "/echo", json, "application/json", 0, ""},
      {"a GET with a body", "GET", "/echo", json, "application/json", 0, ""},
      {"a content type that would add a header", "POST", "/echo", json,
       "application/json\r\nX-Injected: 1", 0, ""},
      {"a body over the limit", "POST", "/echo", std::string(kMaxRequestBytes + 1, 'x'),
       "text/plain", 0, ""},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    const HttpResponse response =
        HttpRequest(c.method, server.Url(c.path), c.body, c.contentType, 5000);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.body, c.answer);
  }
}

}  // namespace
