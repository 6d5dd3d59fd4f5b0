// Streamed answers: read as they arrive, stopped by the reader, and failures
// told apart from a finished body.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <net/http_stream.h>
#include <tests/support/test_server.h>

namespace {

using namespace std::chrono_literals;

class HttpStream : public ::testing::Test {
 protected:
  HttpStream() {
    server_.server().Post("/lines", [this](const httplib::Request& req, httplib::Response& res) {
      body_ = req.body;
      contentType_ = req.get_header_value("Content-Type");
      res.set_chunked_content_provider("application/x-ndjson",
                                       [this](std::size_t, httplib::DataSink& sink) {
                                         for (int i = 0; i < lines_; ++i) {
                                           const std::string line = std::to_string(i) + "\n";
                                           if (!sink.write(line.data(), line.size())) return false;
                                           std::this_thread::sleep_for(5ms);
                                         }
                                         sink.done();
                                         return true;
                                       });
    });
    server_.server().Post("/silent", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
        sink.write("x", 1);
        std::this_thread::sleep_for(3s);
        return false;
      });
    });
    server_.server().Delete("/gone", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("{\"error\":\"model 'x' not found\"}", "application/json");
    });
    server_.Start();
  }

  TestServer server_;
  std::string body_;
  std::string contentType_;
  int lines_ = 50;
};

TEST_F(HttpStream, TheWholeBodyArrivesInPiecesWithTheRequestAsSent) {
  std::string got;
  int ticks = 0;
  const HttpStreamResult result = HttpStreamRequest("POST", server_.Url("/lines"),
                                                    R"({"model":"a b"})", "application/json", 2000,
                                                    {[&](std::string_view piece) {
                                                       got.append(piece);
                                                       return true;
                                                     },
                                                     [&] {
                                                       ++ticks;
                                                       return true;
                                                     }});
  EXPECT_TRUE(result.complete);
  EXPECT_FALSE(result.stopped);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(body_, R"({"model":"a b"})");
  EXPECT_EQ(contentType_, "application/json");
  std::string expected;
  for (int i = 0; i < lines_; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(got, expected);
  EXPECT_GT(ticks, 0);
}

TEST_F(HttpStream, TheReaderStopsItByDataOrByTheClock) {
  std::string got;
  const HttpStreamResult byData =
      HttpStreamRequest("POST", server_.Url("/lines"), "{}", "application/json", 2000,
                        {[&](std::string_view piece) {
                           got.append(piece);
                           return got.find("3\n") == std::string::npos;
                         },
                         {}});
  EXPECT_TRUE(byData.stopped);
  EXPECT_FALSE(byData.complete);
  EXPECT_TRUE(byData.error.empty());

  // A silent server: the clock still asks, and the reader may give up.
  std::atomic<int> ticks{0};
  const HttpStreamResult byClock =
      HttpStreamRequest("POST", server_.Url("/silent"), "{}", "application/json", 2000,
                        {[](std::string_view) { return true; }, [&] { return ++ticks < 3; }});
  EXPECT_TRUE(byClock.stopped);
  EXPECT_FALSE(byClock.complete);
}

TEST_F(HttpStream, ErrorAnswersAndRefusedConnectionsAreTold) {
  std::string got;
  const HttpStreamResult gone = HttpStreamRequest("DELETE", server_.Url("/gone"),
                                                  R"({"model":"x"})", "application/json", 2000,
                                                  {[&](std::string_view piece) {
                                                     got.append(piece);
                                                     return true;
                                                   },
                                                   {}});
  EXPECT_EQ(gone.status, 404);
  EXPECT_TRUE(gone.complete);
  EXPECT_EQ(got, "{\"error\":\"model 'x' not found\"}");

  RawServer closed(RawServer::Mode::DropAtOnce);
  const HttpStreamResult dropped =
      HttpStreamRequest("POST", closed.Url("/x"), "{}", "application/json", 2000, {});
  EXPECT_EQ(dropped.status, 0);
  EXPECT_FALSE(dropped.complete);
  EXPECT_FALSE(dropped.error.empty());
}

}  // namespace
