#pragma once
// The service client's tests: a local HTTP server that misbehaves on
// purpose, the requests it saw, and our state pointed at it.
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

namespace service_fixture {


inline const std::string& Filler() {
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

}  // namespace service_fixture
