// The package download against a local server: progress, errors, redirects,
// cancelling, certificates, and a disk that takes nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <random>

#include <package/file_downloader.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>

namespace {

namespace fs = std::filesystem;

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest() : body_(RandomBytes(3 * 1024 * 1024 + 17)) {
    ::setenv("TMPDIR", (home_.root() / "tmp").c_str(), 1);
    fs::create_directories(home_.root() / "tmp");
    auto& s = server_.server();
    s.Get("/package.zip", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(body_, "application/zip");
    });
    s.Get("/mirror", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/package.zip");
    });
    s.Get("/notfound", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("<html>not here</html>", "text/html");
    });
    s.Get("/nolength", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider(
          "application/zip", [this](size_t offset, httplib::DataSink& sink) {
            const size_t n = std::min<size_t>(65536, body_.size() - offset);
            sink.write(body_.data() + offset, n);
            if (offset + n == body_.size()) sink.done();
            return true;
          });
    });
    s.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(body_.size(), "application/zip",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                 const size_t n = std::min<size_t>(16384, body_.size() - offset);
                                 return sink.write(body_.data() + offset, n);
                               });
    });
    server_.Start();
  }
  ~DownloadTest() override { ::unsetenv("TMPDIR"); }

  fs::path Destination() const { return home_.root() / "下载 目录" / "deepseek.zip"; }
  void MakeDestinationFolder() { fs::create_directories(Destination().parent_path()); }
  std::size_t TempFiles() const {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(home_.root() / "tmp"))
      n += entry.is_regular_file();
    return n;
  }

  TempHome home_;
  std::string body_;
  TestServer server_;
  CFileDownloader downloader_;
};

TEST_F(DownloadTest, PackageArrivesWithProgressAndLeavesNoTemporaryFile) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_DOUBLE_EQ(downloadPercent.load(), 100.0);
  EXPECT_EQ(TempFiles(), 0u);
  EXPECT_EQ(fs::path(downloader_.tempPath).parent_path(), home_.root() / "tmp");
  EXPECT_EQ(fs::path(downloader_.tempPath).filename().string().size(), 14u);  // 10 + ".tmp"
}

TEST_F(DownloadTest, NoLengthMeansNoPercentageButTheFileArrives) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/nolength"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_DOUBLE_EQ(downloadPercent.load(), 0.0);
}

TEST_F(DownloadTest, ErrorStatusIsAFailureWithoutADestination) {
  MakeDestinationFolder();
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_.Url("/notfound"), Destination().string(), code));
  EXPECT_EQ(code, 22);  // libcurl: the server returned an error status
  EXPECT_FALSE(fs::exists(Destination()));
  EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(DownloadTest, RedirectToAMirrorIsFollowed) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/mirror"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
}

TEST_F(DownloadTest, EachTransferStartsFromAnEmptyTemporaryFile) {
  MakeDestinationFolder();
  int code = 0;
  // A failed first transfer would have left a partial file under the same
  // temporary name; the second transfer must not append to it.
  ASSERT_FALSE(downloader_.Download("http://127.0.0.1:1/refused", Destination().string(), code));
  EXPECT_EQ(code, 7);  // could not connect
  std::ofstream(downloader_.tempPath, std::ios::binary) << "stale partial bytes";
  ASSERT_TRUE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
}

TEST_F(DownloadTest, ExistingDestinationIsNotReplaced) {
  MakeDestinationFolder();
  std::ofstream(Destination()) << "earlier package";
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, CFileDownloader::kMoveError);
  EXPECT_EQ(ReadTextFile(Destination()), "earlier package");
  EXPECT_TRUE(
      DownloadFile(server_.Url("/package.zip"), Destination().string()));  // outcome not passed on
  EXPECT_FALSE(DownloadFile("", Destination().string()));
  EXPECT_FALSE(DownloadFile(server_.Url("/package.zip"), ""));
}

TEST_F(DownloadTest, UnwritableTemporaryFolderIsCode100) {
  ::setenv("TMPDIR", (home_.root() / "no" / "such").c_str(), 1);
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, CFileDownloader::kTempFileError);
}

TEST_F(DownloadTest, CancelMidwayRemovesEverythingAndSaysSoOnce) {
  MakeDestinationFolder();
  testing::internal::CaptureStdout();
  std::thread canceller([this] {
    Eventually([] { return downloadPercent.load() > 5.0; });
    downloader_.Cancel();
  });
  int code = 0;
  const bool ok = downloader_.Download(server_.Url("/slow"), Destination().string(), code);
  canceller.join();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(ok);
  EXPECT_EQ(code, 42);  // aborted by callback
  EXPECT_FALSE(fs::exists(Destination()));
  EXPECT_EQ(TempFiles(), 0u);
  EXPECT_EQ(out, "Download interrupted by user.\n");
  EXPECT_GT(downloadPercent.load(), 5.0);
  EXPECT_LT(downloadPercent.load(), 100.0);
}

TEST(DownloadProgress, NeverGoesDown) {
  downloadPercent = 0.0;
  std::vector<double> seen;
  for (long long now : {10, 50, 40, 80}) {
    CFileDownloader::OnProgress(100, now);
    seen.push_back(downloadPercent.load());
  }
  EXPECT_EQ(seen, (std::vector<double>{10, 50, 50, 80}));
  CFileDownloader::OnProgress(0, 90);  // no total: unchanged
  EXPECT_EQ(downloadPercent.load(), 80);
}

TEST(DownloadNames, RandomNamesAreTenLettersOrDigits) {
  const std::string name = MakeRandomName();
  ASSERT_EQ(name.size(), 10u);
  for (char c : name) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name;
}

TEST_F(DownloadTest, AWriteThatStoresNothingFailsTheTransfer) {
  MakeDestinationFolder();
  // A file size limit makes every write beyond 64 KiB fail, as a full disk
  // would. The limit is the process's; nothing else here writes files while
  // it holds, and it is lifted again at once.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{64 * 1024, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  int code = 0;
  const bool ok = downloader_.Download(server_.Url("/package.zip"), Destination().string(), code);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_FALSE(ok);
  EXPECT_EQ(code, 23);  // libcurl's write error
  EXPECT_FALSE(fs::exists(Destination()));
  EXPECT_EQ(TempFiles(), 0u);
}

TEST(DownloadTls, UnverifiableCertificateStopsTheTransfer) {
  TempHome home;
  const std::string cert = (home.root() / "cert.pem").string();
  const std::string key = (home.root() / "key.pem").string();
  const ChildResult made =
      RunChild({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                "-out", cert, "-days", "1", "-subj", "/CN=localhost"},
               60);
  ASSERT_EQ(made.exitCode, 0) << "openssl could not make a certificate";
  TestServer server(cert, key);
  server.server().Get("/package.zip", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("would-be package", "application/zip");
  });
  server.Start();
  ::setenv("TMPDIR", home.root().c_str(), 1);
  CFileDownloader downloader;
  int code = 0;
  const fs::path destination = home.root() / "deepseek.zip";
  EXPECT_FALSE(downloader.Download(server.Url("/package.zip"), destination.string(), code));
  EXPECT_EQ(code, 60);  // peer certificate cannot be authenticated
  EXPECT_FALSE(fs::exists(destination));
  ::unsetenv("TMPDIR");
}

}  // namespace
