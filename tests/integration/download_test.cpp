// The package download against a local server: progress, errors, redirects,
// cancelling, certificates, and a disk that takes nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include <package/file_downloader.h>
#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <tests/support/child.h>
#include <tests/support/gate.h>
#include <tests/support/scripted_server.h>
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
    downloader_.firstRetryWaitMs = 5;
    auto& s = server_.server();
    s.Get("/package.zip", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(body_, "application/zip");
    });
    s.Get("/mirror", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/package.zip");
    });
    s.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const int left = std::stoi(req.matches[1]);
      res.set_redirect(left == 0 ? "/package.zip" : "/hop/" + std::to_string(left - 1));
    });
    // A redirect with a body of its own, to a body slow enough to be seen
    // midway.
    s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/watched");
      res.set_content(std::string(200000, 'm'), "text/html");
    });
    s.Get("/watched", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(body_.size(), "application/zip",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset > 0 && offset < body_.size() / 2) {
                                   midwayPercent_ = downloadPercent.load();
                                 }
                                 const size_t n = std::min<size_t>(65536, body_.size() - offset);
                                 return sink.write(body_.data() + offset, n);
                               });
    });
    s.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("file:///etc/passwd");
    });
    s.Get("/busy-once", [this](const httplib::Request&, httplib::Response& res) {
      if (busy_++ == 0) {
        res.status = 503;
        return;
      }
      res.set_content(body_, "application/zip");
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
  fs::path Destination() const { return home_.root() / fs::path(u8"下载 目录") / "deepseek.zip"; }
  void MakeDestinationFolder() { fs::create_directories(Destination().parent_path()); }
  fs::path PartialFolder() const { return home_.data() / "Tidewell" / "downloads"; }
  std::size_t TempFiles() const {
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(PartialFolder(), ec))
      n += entry.is_regular_file();
    return n;
  }

  TempHome home_;
  std::string body_;
  std::atomic<double> midwayPercent_{-1};
  std::atomic<int> busy_{0};
  TestServer server_;
  CFileDownloader downloader_;
};

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST_F(DownloadTest, PackageArrivesWithProgressAndLeavesNoTemporaryFile) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_DOUBLE_EQ(downloadPercent.load(), 100.0);
  EXPECT_EQ(TempFiles(), 0u);
  // Written in a folder of the user's own, never a shared temporary one.
  EXPECT_EQ(fs::path(downloader_.tempPath).parent_path(), PartialFolder());
  EXPECT_EQ(ModeOf(PartialFolder()), 0700u);
  EXPECT_EQ(ModeOf(PartialFolder().parent_path()), 0700u);
  EXPECT_EQ(ModeOf(Destination()), 0600u);
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

TEST_F(DownloadTest, TwentyRedirectsAreFollowedTwentyOneAreNot) {
  MakeDestinationFolder();
  int code = 0;
  // /hop/N answers with N + 1 redirects in a row.
  EXPECT_FALSE(downloader_.Download(server_.Url("/hop/20"), Destination().string(), code));
  EXPECT_EQ(code, 47);  // too many redirects
  EXPECT_FALSE(fs::exists(Destination()));
  ASSERT_TRUE(downloader_.Download(server_.Url("/hop/19"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
}

TEST_F(DownloadTest, ARedirectsOwnBodyIsNeitherSavedNorCountedAsProgress) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/moved"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_GE(midwayPercent_.load(), 0.0);
  EXPECT_LT(midwayPercent_.load(), 50.0);  // the redirect's body did not count as done
  EXPECT_DOUBLE_EQ(downloadPercent.load(), 100.0);
}

TEST_F(DownloadTest, OnlyHttpAndHttpsAreFetched) {
  MakeDestinationFolder();
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_.Url("/to-file"), Destination().string(), code));
  EXPECT_EQ(code, 1);  // unsupported protocol
  EXPECT_FALSE(downloader_.Download("file:///etc/passwd", Destination().string(), code));
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(fs::exists(Destination()));
  EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(DownloadTest, ABusyServerIsAskedAgain) {
  MakeDestinationFolder();
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/busy-once"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_EQ(busy_.load(), 2);
}

TEST_F(DownloadTest, EachTransferStartsFromAnEmptyTemporaryFile) {
  MakeDestinationFolder();
  int code = 0;
  // A failed first transfer (refused every time it is tried) leaves nothing;
  // the second starts from an empty file of its own.
  downloader_.maxRetries = 2;
  ASSERT_FALSE(downloader_.Download("http://127.0.0.1:1/refused", Destination().string(), code));
  EXPECT_EQ(code, 7);  // could not connect
  EXPECT_EQ(TempFiles(), 0u);
  const std::string first = downloader_.tempPath;
  ASSERT_TRUE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  EXPECT_NE(downloader_.tempPath, first);
}

TEST_F(DownloadTest, LeftoversOfEarlierRunsGoButATransferInProgressStays) {
  MakeDestinationFolder();
  fs::create_directories(PartialFolder());
  const fs::path stale = PartialFolder() / "package-AbC123.part";
  const fs::path busy = PartialFolder() / "package-XyZ789.part";
  const fs::path other = PartialFolder() / "notes.txt";
  std::ofstream(stale) << std::string(100000, 's');
  std::ofstream(busy) << "being written";
  std::ofstream(other) << "not ours to remove";
  const int held = ::open(busy.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);  // as a running transfer holds it
  int code = 0;
  ASSERT_TRUE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(busy));
  EXPECT_TRUE(fs::exists(other));
  ::close(held);
}

TEST_F(DownloadTest, APlantedLinkForThePartialFolderIsRefused) {
  MakeDestinationFolder();
  const fs::path elsewhere = home_.root() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(PartialFolder().parent_path());
  fs::create_symlink(elsewhere, PartialFolder());
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_.Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, CFileDownloader::kTempFileError);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_FALSE(fs::exists(Destination()));
}

TEST_F(DownloadTest, TheAnnouncedDigestDecidesWhetherThePackageIsKept) {
  MakeDestinationFolder();
  const fs::path reference = home_.root() / "reference.bin";
  std::ofstream(reference, std::ios::binary) << body_;
  const std::string digest = FileSha256Hex(reference.string());
  ASSERT_EQ(digest.size(), 64u);
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  int code = 0;
  std::string wrong = digest;
  wrong[10] = wrong[10] == '0' ? '1' : '0';
  testing::internal::CaptureStderr();
  EXPECT_FALSE(
      downloader_.Download(server_.Url("/package.zip"), Destination().string(), code, wrong));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, CFileDownloader::kDigestError);
  EXPECT_FALSE(fs::exists(Destination()));
  EXPECT_EQ(TempFiles(), 0u);

  ASSERT_TRUE(
      downloader_.Download(server_.Url("/package.zip"), Destination().string(), code, upper));
  EXPECT_EQ(ReadTextFile(Destination()), body_);
  // A kept archive is checked again before it is used.
  const std::wstring kept = platform::WidePath(Destination());
  EXPECT_TRUE(VerifyPackageDigest(kept, digest));
  EXPECT_TRUE(VerifyPackageDigest(kept, ""));  // nothing announced: nothing to check
  EXPECT_FALSE(VerifyPackageDigest(kept, wrong));
  EXPECT_FALSE(VerifyPackageDigest(kept, "abc"));  // malformed: never passes
  EXPECT_FALSE(VerifyPackageDigest(platform::WidePath(home_.root() / "missing.zip"), digest));
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
  std::ofstream(home_.root() / "plain-file") << "not a folder";
  ::setenv("XDG_DATA_HOME", (home_.root() / "plain-file" / "data").c_str(), 1);
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

// A self-signed certificate for subjectAltName san, in dir; false when
// openssl could not make it.
bool MakeCertificate(const fs::path& dir, const std::string& san) {
  const ChildResult made =
      RunChild({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                (dir / "key.pem").string(), "-out", (dir / "cert.pem").string(), "-days", "1",
                "-subj", "/CN=tidewell test", "-addext", "subjectAltName=" + san},
               60);
  return made.exitCode == 0;
}

class DownloadTlsTest : public ::testing::Test {
 protected:
  // Serves the package over https with a certificate for san.
  void Serve(const std::string& san) {
    ASSERT_TRUE(MakeCertificate(home_.root(), san)) << "openssl could not make a certificate";
    server_ = std::make_unique<TestServer>((home_.root() / "cert.pem").string(),
                                           (home_.root() / "key.pem").string());
    server_->server().Get("/package.zip", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("would-be package", "application/zip");
    });
    server_->server().Get("/down", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(plain_.Url("/package.zip"));
    });
    plain_.server().Get("/package.zip", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("would-be package", "application/zip");
    });
    server_->Start();
    plain_.Start();
    downloader_.firstRetryWaitMs = 5;
  }
  fs::path Destination() const { return home_.root() / "deepseek.zip"; }

  TempHome home_;
  TestServer plain_;
  std::unique_ptr<TestServer> server_;
  CFileDownloader downloader_;
};

TEST_F(DownloadTlsTest, UnverifiableCertificateStopsTheTransfer) {
  Serve("IP:127.0.0.1");
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_->Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, 60);  // peer certificate cannot be authenticated
  EXPECT_FALSE(fs::exists(Destination()));
}

TEST_F(DownloadTlsTest, ATrustedCertificateForAnotherHostStopsTheTransfer) {
  Serve("DNS:packages.example.com");
  downloader_.caFile = (home_.root() / "cert.pem").string();
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_->Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(code, 60);  // the name asked for is not the certificate's
  EXPECT_FALSE(fs::exists(Destination()));
}

TEST_F(DownloadTlsTest, ATrustedCertificateForThisHostWorksAndNeverLeadsBackToHttp) {
  Serve("IP:127.0.0.1");
  downloader_.caFile = (home_.root() / "cert.pem").string();
  int code = 0;
  EXPECT_FALSE(downloader_.Download(server_->Url("/down"), Destination().string(), code));
  EXPECT_EQ(code, 1);  // https to http: refused
  EXPECT_FALSE(fs::exists(Destination()));
  ASSERT_TRUE(downloader_.Download(server_->Url("/package.zip"), Destination().string(), code));
  EXPECT_EQ(ReadTextFile(Destination()), "would-be package");
}

}  // namespace
