// The package download against a network that breaks: bodies cut short,
// connections reset, servers that stall or ignore ranges. Each transfer is
// resumed from the bytes on disk and the user sees one download.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include <package/file_downloader.h>
#include <tests/support/loopback_socket.h>
#include <tests/support/scripted_server.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kEtag = "\"v1\"";

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class DownloadResumeTest : public ::testing::Test {
 protected:
  DownloadResumeTest() : body_(RandomBytes(2 * 1024 * 1024 + 5, 3)) {
    downloader_.firstRetryWaitMs = 5;
    downloader_.maxRetries = 5;
    // Every answer here ends at once or not at all: an end that never
    // arrives costs a few seconds and a resume, not the test's time limit.
    downloader_.stallSeconds = 5;
  }
  fs::path Destination() const { return home_.root() / "deepseek.zip"; }
  bool Download(ScriptedServer& server, int* code) {
    return downloader_.Download(server.Url("/package.zip"), Destination().string(), *code);
  }
  // Reads what the server got and the percentage shown at each request.
  void Record(const ScriptedRequest& request) {
    percentAtRequest_[static_cast<std::size_t>(std::min(request.index, 15))] =
        downloadPercent.load();
  }

  TempHome home_;
  std::string body_;
  std::atomic<double> percentAtRequest_[16] = {};
  CFileDownloader downloader_;
};

TEST_F(DownloadResumeTest, ATruncatedBodyIsResumedFromTheBytesOnDisk) {
  const std::size_t half = body_.size() / 2;
  ScriptedServer server([&](const ScriptedRequest& request) {
    Record(request);
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    if (request.index == 0) reply.sendBytes = half;  // then the connection closes
    return reply;
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("range"), "");
  EXPECT_EQ(requests[1].Header("range"), "bytes=" + std::to_string(half) + "-");
  EXPECT_EQ(requests[1].Header("if-range"), kEtag);
  EXPECT_EQ(server.BodyBytesSent(), static_cast<long long>(body_.size()));  // nothing twice
  // The percentage went on from where it was, as one download.
  EXPECT_GT(percentAtRequest_[1].load(), 40.0);
  EXPECT_DOUBLE_EQ(downloadPercent.load(), 100.0);
}

TEST_F(DownloadResumeTest, AConnectionResetMidwayIsResumed) {
  ScriptedServer server([&](const ScriptedRequest& request) {
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    if (request.index < 3) {
      reply.sendBytes = 300000;
      reply.end = ScriptedReply::End::Reset;
    }
    return reply;
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_NE(requests[3].Header("range"), "");
}

TEST_F(DownloadResumeTest, AServerThatStallsEndsTheAttemptAndTheNextOneResumes) {
  downloader_.stallSeconds = 1;
  ScriptedServer server([&](const ScriptedRequest& request) {
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    if (request.index == 0) {
      reply.sendBytes = 500000;
      reply.end = ScriptedReply::End::Stall;
      reply.stallMs = 20000;  // far longer than the stall limit
    }
    return reply;
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Header("range"), "bytes=500000-");
}

TEST_F(DownloadResumeTest, AServerThatIgnoresRangesStartsTheFileAgain) {
  ScriptedServer server([&](const ScriptedRequest& request) {
    Record(request);
    ScriptedReply reply = Answer(200, body_, "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n");
    if (request.index == 0) reply.sendBytes = body_.size() * 3 / 4;
    return reply;
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);  // not the first part twice
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Header("if-range"), "Mon, 07 Dec 2026 10:00:00 GMT");
  EXPECT_GT(percentAtRequest_[1].load(), 70.0);  // never shown going back
}

TEST_F(DownloadResumeTest, ABodyThatChangedMeanwhileIsTakenWhole) {
  const std::string newer = RandomBytes(body_.size() + 1000, 4);
  ScriptedServer server([&](const ScriptedRequest& request) {
    if (request.index == 0) {
      ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
      reply.sendBytes = 100000;
      reply.end = ScriptedReply::End::Reset;
      return reply;
    }
    return ServeWithRanges(request, newer, "\"v2\"");  // If-Range "v1" fails: 200
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), newer);
}

TEST_F(DownloadResumeTest, APartialAnswerThatDoesNotFitIsNotSpliced) {
  ScriptedServer server([&](const ScriptedRequest& request) {
    if (request.index == 0) {
      ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
      reply.sendBytes = 100000;
      return reply;
    }
    if (request.index == 1) {  // the wrong part
      return Answer(206, body_.substr(5000),
                    "Content-Range: bytes 5000-" + std::to_string(body_.size() - 1) + "/" +
                        std::to_string(body_.size()) + "\r\n");
    }
    return ServeWithRanges(request, body_, kEtag);
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].Header("range"), "");  // from the start again
}

// A server whose file changed between two attempts, and which answers a
// range without honouring If-Range (or is never asked with one). A resume
// would join the start of one version to the rest of another: each case
// must end with one version whole.
TEST_F(DownloadResumeTest, AResumeNeverSplicesTwoVersions) {
  const std::string older = RandomBytes(300000, 5);
  const std::string newer = RandomBytes(300000, 6);
  const std::string longer = RandomBytes(400000, 7);
  const std::string date1 = "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n";
  const std::string date2 = "Last-Modified: Mon, 07 Dec 2026 11:00:00 GMT\r\n";
  struct Case {
    const char* name;
    std::string firstValidators;  // of the first, cut answer (older)
    bool firstLengthKnown;
    std::string now;         // the body the server has from the second request on
    std::string validators;  // its validators in every later answer
  };
  const Case cases[] = {
      {"no validator", "", true, newer, ""},
      {"a weak ETag only", "ETag: W/\"v1\"\r\n", true, newer, "ETag: W/\"v1\"\r\n"},
      {"another ETag", "ETag: \"v1\"\r\n", true, newer, "ETag: \"v2\"\r\n"},
      {"another Last-Modified", date1, true, newer, date2},
      {"the same ETag, another Last-Modified", "ETag: \"v1\"\r\n" + date1, true, newer,
       "ETag: \"v1\"\r\n" + date2},
      {"another total after an unknown length", "ETag: \"v1\"\r\n", false, longer,
       "ETag: \"v1\"\r\n"},
  };
  int row = 0;
  const bool resetsSeen = ResetReachesPeer();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A cut answer of unknown length is only told from a whole one by the
    // reset that ends it.
    if (!c.firstLengthKnown && !resetsSeen) {
      std::printf("skipped \"%s\": resets arrive as plain ends here\n", c.name);
      continue;
    }
    ScriptedServer server([&](const ScriptedRequest& request) {
      if (request.index == 0) {
        ScriptedReply reply = Answer(200, older, c.firstValidators);
        if (!c.firstLengthKnown) {
          reply.head = "HTTP/1.1 200 OK\r\nConnection: close\r\n" + c.firstValidators;
        }
        reply.sendBytes = older.size() / 2;
        reply.end = ScriptedReply::End::Reset;
        return reply;
      }
      unsigned long long first = 0;
      if (std::sscanf(request.Header("range").c_str(), "bytes=%llu-", &first) != 1) {
        return Answer(200, c.now, c.validators);
      }
      // The rest of the body it has now, whatever If-Range said.
      return Answer(206, c.now.substr(first),
                    c.validators + "Content-Range: bytes " + std::to_string(first) + "-" +
                        std::to_string(c.now.size() - 1) + "/" + std::to_string(c.now.size()) +
                        "\r\n");
    });
    const fs::path destination = home_.root() / ("row" + std::to_string(row++) + ".zip");
    int code = 0;
    ASSERT_TRUE(downloader_.Download(server.Url("/package.zip"), destination.string(), code))
        << code;
    const std::string got = ReadTextFile(destination);
    // One version whole: the one the server has now (the older one is gone).
    EXPECT_TRUE(got == c.now) << "got " << got.size() << " bytes, "
                              << (got.substr(0, 1000) == older.substr(0, 1000) ? "older" : "newer")
                              << " at the start, not the server's version whole";
    for (const ScriptedRequest& request : server.Requests()) {
      if (!request.Header("range").empty()) {
        EXPECT_NE(request.Header("if-range"), "") << "a range asked for without its validator";
      }
    }
  }
}

TEST_F(DownloadResumeTest, RetriesWithoutBytesAreBoundedAndTheLastErrorIsReported) {
  downloader_.maxRetries = 2;
  ScriptedServer server([&](const ScriptedRequest& request) {
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    reply.sendBytes = 0;  // the headers, never a byte of the body
    return reply;
  });
  int code = 0;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Download(server, &code));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, 18);  // partial file
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_NE(err.find("CURL error: "), std::string::npos);
  EXPECT_FALSE(fs::exists(Destination()));
}

// A line that drops every few hundred kilobytes: each attempt that brought
// bytes is followed at once and counts nothing against the limit, so the
// download finishes however often it breaks; and a busy server's answer
// without bytes is waited out and then resumed.
TEST_F(DownloadResumeTest, AttemptsThatBringBytesAreFollowedAtOnceAndNeverRunOut) {
  downloader_.maxRetries = 1;
  ScriptedServer server([&](const ScriptedRequest& request) {
    if (request.index == 3) return Answer(503, "", "Retry-After: 1\r\n");
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    reply.sendBytes = std::min<std::size_t>(300 * 1024, reply.body.size());
    reply.end = ScriptedReply::End::Reset;
    return reply;
  });
  int code = 0;
  ASSERT_TRUE(Download(server, &code)) << code;
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_GT(server.Requests().size(), 7u);  // 2 MiB in pieces of 300 KiB, and the 503
}

TEST(DownloadRetryWait, DoublesWithoutBytesAndTakesABusyServersWordWithinReason) {
  const struct {
    long status;
    long long retryAfter;
    int idle;
    long waitMs;
  } cases[] = {
      {0, 0, 0, 1000},    {0, 0, 1, 2000},    {0, 0, 2, 4000},      {500, 7, 0, 1000},
      {503, 7, 0, 7000},  {429, 2, 3, 2000},  {429, 3600, 0, 30000}, {503, 0, 1, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " after " + std::to_string(c.retryAfter));
    EXPECT_EQ(DownloadRetryWaitMs(c.status, c.retryAfter, c.idle, 1000), c.waitMs);
  }
}

TEST_F(DownloadResumeTest, CancellingDuringAWaitEndsAtOnce) {
  downloader_.firstRetryWaitMs = 60000;
  ScriptedServer server([&](const ScriptedRequest& request) {
    ScriptedReply reply = ServeWithRanges(request, body_, kEtag);
    reply.sendBytes = 0;  // nothing: the next attempt waits
    reply.end = ScriptedReply::End::Reset;
    return reply;
  });
  std::thread canceller([&] {
    while (server.Requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    downloader_.Cancel();
  });
  int code = 0;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Download(server, &code));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Download interrupted by user.\n");
  canceller.join();
  EXPECT_EQ(code, 42);
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
