// The installation's own stop flag ends the package download like a cancel,
// also before the first byte and while waiting to try again.
#include <gtest/gtest.h>

#include <thread>

#include <package/file_downloader.h>
#include <tests/support/gate.h>
#include <tests/support/scripted_server.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

TEST(DownloadStop, AStopEndsTheTransferAndKeepsNothing) {
  struct Case {
    const char* what;
    bool stopFirst;            // set before the download starts
    std::size_t requestsSeen;  // by the server in all
  };
  const std::vector<Case> cases = {
      {"stopped before the start", true, 0},
      // The wait (an hour) outlasts any test run: only the stop can end it.
      {"stopped while waiting to try again", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempHome home;
    Gate answered;
    ScriptedServer server([&answered](const ScriptedRequest&) {
      answered.Open();
      return Answer(503, "busy");
    });
    CFileDownloader downloader;
    downloader.firstRetryWaitMs = 60 * 60 * 1000;
    const fs::path destination = home.root() / "deepseek.zip";
    std::atomic<bool> stop{c.stopFirst};
    int errorCode = 0;
    bool ok = true;
    std::thread transfer([&] {
      ok = downloader.Download(server.Url("/deepseek.zip"), destination.string(), errorCode, "",
                               &stop);
    });
    if (!c.stopFirst) {
      answered.Wait();
      stop = true;
    }
    transfer.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(errorCode, 42);
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_TRUE(fs::is_empty(home.data() / "Tidewell" / "downloads"));  // no partial file
    EXPECT_EQ(server.Requests().size(), c.requestsSeen);
    EXPECT_FALSE(cancelRequested.load());  // the process-wide flag was not needed
  }
}

}  // namespace
