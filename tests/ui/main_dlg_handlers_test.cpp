// Every handler of the window's event map, offscreen, with the engine's
// outside world stood in for: a local server for the service and the
// package, a recording opener on PATH, answered message boxes and picker.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <config/app_constants.h>
#include <package/package_extract.h>
#include <platform/os_encoding.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>
#include <tests/support/zip_builder.h>
#include <ui/folder_dialog.h>
#include <ui/language.h>
#include <ui/main_dlg.h>
#include <ui/message_box.h>
#include <ui/package_dialog.h>
#include <ui/qt_notify_center.h>
#include <work/thread_module.h>

namespace {

namespace fs = std::filesystem;

class MainDlgHandlers : public ::testing::Test {
 protected:
  MainDlgHandlers() {
    // What the window opens goes to a recording opener, never a browser.
    const fs::path bin = home_.root() / "bin";
    WriteScript(bin / "xdg-open", "printf '%s\\n' \"$1\" >> '" + opened_.string() + "'");
    path_ = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + path_).c_str(), 1);
    fs::create_directories(home_.root() / "tmp");
    ::setenv("TMPDIR", (home_.root() / "tmp").c_str(), 1);

    server_.server().Get(R"(/dpsk/log/log/([^/]+)/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           events_.push_back(req.matches[1].str());
                           res.set_content("{}", "application/json");
                         });
    server_.server().Get(
        "/api/dpsk/config", [this](const httplib::Request&, httplib::Response& res) {
          // Held back until the test lets it through.
          while (!configMayAnswer_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          res.set_content(R"({"serviceurl": ")" + server_.Url("/support") +
                              R"(", "DeepSeekUrl": ")" + server_.Url("/slow.zip") + R"("})",
                          "application/json");
        });
    server_.server().Get("/slow.zip", [this](const httplib::Request&, httplib::Response& res) {
      // A package that trickles until the test ends.
      res.set_content_provider(1 << 30, "application/zip",
                               [this](size_t, size_t, httplib::DataSink& sink) {
                                 if (stopServing_) return false;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                 static const std::string piece(1024, 'x');
                                 return sink.write(piece.data(), piece.size());
                               });
    });
    server_.Start();
    AppConstants& constants = GetAppConstants();
    saved_ = constants;
    constants.remoteConfigUrl = server_.Url("/api/dpsk/config");
    constants.eventLogUrl = server_.Url("/dpsk/log/log");
    SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon) {
      messages_ << caption + "|" + text;
    });
    GetServiceState() = CServiceState();
    GetServiceState().PrepareWorkFolder();
    DeclareApplicationEvents(center_);
    window_ = std::make_unique<CMainDlg>();
    EXPECT_TRUE(window_->Create());
    window_->OnInitDialog();
    window_->show();
  }

  ~MainDlgHandlers() override {
    configMayAnswer_ = true;
    stopServing_ = true;
    window_.reset();
    (void)QTest::qWaitFor([this] { return module_.idle_count() == module_.size(); }, 60000);
    module_.stop();
    GetEventReporter().WaitIdle();
    SetMessageBoxHandler(nullptr);
    CMainDlg::SetFolderPickerForTesting(nullptr);
    CMainDlg::SetPackagePickerForTesting(nullptr);
    GetAppConstants() = saved_;
    ::setenv("PATH", path_.c_str(), 1);
    ::unsetenv("TMPDIR");
  }

  template <class T = QWidget>
  T* Find(const char* name) {
    T* child = window_->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Text(const char* name) {
    if (auto* edit = qobject_cast<QLineEdit*>(Find(name))) return edit->text();
    return Find<QLabel>(name)->text();
  }
  bool Shown(const char* name) { return Find(name)->isVisibleTo(window_.get()); }
  void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
  void LetConfigThrough() {
    configMayAnswer_ = true;
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->engine().RemoteConfigReady(); }, 20000));
  }
  std::vector<std::string> Events() {
    GetEventReporter().WaitIdle();
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::string Opened() { return ReadTextFile(opened_); }

  TempHome home_;
  fs::path opened_ = home_.root() / "opened.txt";
  std::string path_;
  AppConstants saved_;
  TestServer server_;
  std::mutex mutex_;
  std::vector<std::string> events_;
  std::atomic<bool> configMayAnswer_{false};
  std::atomic<bool> stopServing_{false};
  CQtNotifyCenter center_;
  CThreadModule module_{AppConstants::kWorkerThreadCount};
  Action::CActionFactory factory_;
  std::unique_ptr<CMainDlg> window_;
  QStringList messages_;
};

TEST_F(MainDlgHandlers, InitialisationFillsTheFormAtOnce) {
  // The service has not answered, yet the window is there and filled in.
  EXPECT_EQ(Text("InstPath"),
            QString::fromStdWString(platform::WidePath(home_.root() / "home" / "AlTidewell")));
  EXPECT_TRUE(fs::is_directory(home_.root() / "home" / "AlTidewell"));
  EXPECT_EQ(Text("useSpace2"), QStringLiteral("1.1GB"));
  EXPECT_EQ(Text("wareInfotxt"), QStringLiteral("大小 1.10GB | CPU 4核 "));
  EXPECT_EQ(Text("wareInfotxt2"), QStringLiteral("内存 8GB+ | 显示 非必须"));
  EXPECT_TRUE(Text("useSpace").endsWith(QStringLiteral(" GB")) ||
              Text("useSpace").endsWith(QStringLiteral(" MB")));
  EXPECT_EQ(Find<QStackedWidget>("tab_pages2")->currentIndex(), 0);
  EXPECT_FALSE(window_->engine().RemoteConfigReady());
  LetConfigThrough();
  // A first start: the configuration came, the start-up reports wait until
  // the usage notice is closed.
  EXPECT_TRUE(Shown("usageNotice"));
  EXPECT_EQ(Events(), std::vector<std::string>{});
  Click("usageNoticeClose");
  EXPECT_EQ(Events(), (std::vector<std::string>{"opensoftware", "installDeepseek"}));
}

// A typed folder shows its own disk's free space: /proc's is none at all,
// a relative one says nothing.
TEST_F(MainDlgHandlers, TypedFolderShowsItsOwnFreeSpace) {
  auto* path = Find<QLineEdit>("InstPath");
  path->setText(QStringLiteral("/proc/no/such/folder"));
  EXPECT_EQ(Text("useSpace"), QStringLiteral("0 B"));
  path->setText(QStringLiteral("relative/folder"));
  EXPECT_TRUE(Text("useSpace").isEmpty());
  path->setText(QString::fromStdString((home_.root() / "home").string()));
  EXPECT_TRUE(Text("useSpace").endsWith(QStringLiteral(" GB")) ||
              Text("useSpace").endsWith(QStringLiteral(" MB")));
}

TEST_F(MainDlgHandlers, ModelSelectionRefreshesNeedsAndMemory) {
  Find<QComboBox>("cbx_Model")->setCurrentIndex(5);
  EXPECT_EQ(Text("useSpace2"), QStringLiteral("43GB"));
  EXPECT_EQ(Text("wareInfotxt2"), QStringLiteral("内存 64GB+ | 显示 32GB+"));
  EXPECT_TRUE(Text("memInfoTxt").contains(QStringLiteral("64 GB")));
  Find<QComboBox>("cbx_Model")->setCurrentIndex(6);
  // No machine here has 512 GB: the model is marked as too large.
  EXPECT_TRUE(Text("memInfoTxt").contains(QStringLiteral("内存不足")));
}

TEST_F(MainDlgHandlers, FolderPickerRootGetsItsOwnFolderAndCancelChangesNothing) {
  const QString before = Text("InstPath");
  QString start;
  CMainDlg::SetFolderPickerForTesting([&start](const QString& at) {
    start = at;
    return QString();
  });
  Click("btnSelDir");
  EXPECT_EQ(Text("InstPath"), before);
  EXPECT_EQ(start, FolderDialogStart(before));  // the dialog opens where the folder is
  CMainDlg::SetFolderPickerForTesting([](const QString&) { return QStringLiteral("/"); });
  Click("btnSelDir");
  EXPECT_EQ(Text("InstPath"), QStringLiteral("/AlTidewell"));
  const QString picked = QString::fromStdString((home_.root() / "模型 目录").string());
  CMainDlg::SetFolderPickerForTesting([picked](const QString&) { return picked; });
  Click("btnSelDir");
  EXPECT_EQ(Text("InstPath"), picked);
  EXPECT_FALSE(Text("useSpace").isEmpty());
  // A folder not made yet: the dialog opens at the nearest one that is.
  const fs::path typed = home_.root() / "部署" / "AlTidewell";
  Find<QLineEdit>("InstPath")->setText(QString::fromStdString(typed.string()));
  CMainDlg::SetFolderPickerForTesting([&start](const QString& at) {
    start = at;
    return QString();
  });
  Click("btnSelDir");
  EXPECT_EQ(start, QString::fromStdString(home_.root().string()));
}

TEST_F(MainDlgHandlers, CustomerServiceWaitsForTheConfigurationThenOpens) {
  Click("btnkefu");
  EXPECT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Text("progTxt"), QStringLiteral("正在连接服务，请稍候..."));
  EXPECT_TRUE(Opened().empty());
  LetConfigThrough();
  EXPECT_FALSE(Shown("tab_Tip"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !Opened().empty(); }, 5000));
  EXPECT_EQ(Opened(), server_.Url("/support") + "\n");
  Click("btnkefu");  // now at once
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return Opened().size() > server_.Url("/support").size() + 1; }, 5000));
}

TEST_F(MainDlgHandlers, ClosingTheProgressOverlayCancelsTheDownload) {
  LetConfigThrough();
  Click("imgNoDownDeekSeek");
  EXPECT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Find<QStackedWidget>("tab_Tip")->currentIndex(), 0);
  EXPECT_TRUE(Shown("imgDownDeekSeek"));
  Click("imgDownDeekSeek");  // does nothing
  // Readable progress below the bar once bytes arrive.
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return Text("progDetailTxt").contains(QStringLiteral("已下载")); }, 10000));
  EXPECT_TRUE(Text("progDetailTxt").contains(QStringLiteral("/ 1.1 GB")));
  Click("btn_TipClose1");
  EXPECT_FALSE(Shown("tab_Tip"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Shown("imgNoDownDeekSeek"); }, 10000));
  EXPECT_FALSE(Shown("imgDownDeekSeek"));
  EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(MainDlgHandlers, PackageEventsFromASenderAreIgnored) {
  Find<QWidget>("imgNoDownDeekSeek")->hide();
  Find<QWidget>("imgDownDeekSeek")->show();
  EventQrCodeDisChanged3 fromSender;
  fromSender.idFrom = 7;
  center_.FireEventSync(fromSender);
  EXPECT_TRUE(Shown("imgDownDeekSeek"));
  EXPECT_FALSE(fromSender.handled);
  // The flow's own is taken, and with no installation running it ends
  // none: nothing changes.
  EventQrCodeDisChanged3 fromFlow;
  center_.FireEventSync(fromFlow);
  EXPECT_TRUE(fromFlow.handled);
  EXPECT_TRUE(Shown("imgDownDeekSeek"));
}

TEST_F(MainDlgHandlers, TutorialIsUnpackedAndOpened) {
  const fs::path work = platform::OsPath(GetServiceState().workFolder);
  std::ofstream(work / "JEBMWKX6V.zip", std::ios::binary)
      << BuildZip({FileEntry("安装教程(必读).pdf", "%PDF-1.4 guide")});
  Click("imgUserTutorial");
  EXPECT_TRUE(fs::exists(work / "JEBMWKX6V" / "安装教程(必读).pdf"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !Opened().empty(); }, 5000));
  EXPECT_EQ(Opened().rfind("file://", 0), 0u);
  EXPECT_NE(Opened().find(".pdf"), std::string::npos);
  EXPECT_EQ(Events().back(), "openUserTutorDeepseek");

  // An uninstall took the work folder: the built-in guide is put back.
  fs::remove_all(work);
  Click("imgUserTutorial");
  EXPECT_TRUE(fs::exists(work / "JEBMWKX6V.zip"));
  EXPECT_TRUE(fs::exists(work / "JEBMWKX6V" / "安装教程(必读).pdf"));
}

// The guide opened is the one in the window's language; an archive from
// before the English guide still opens its Chinese one.
TEST_F(MainDlgHandlers, TutorialOpensTheGuideOfTheWindowsLanguage) {
  const std::string chinese = "安装教程(必读).pdf";
  const std::string english = "Installation guide (read first).pdf";
  struct Case {
    UiLanguage language;
    std::vector<std::string> entries;
    std::string opened;
  };
  const Case cases[] = {{UiLanguage::Chinese, {chinese, english}, chinese},
                        {UiLanguage::English, {chinese, english}, english},
                        {UiLanguage::English, {chinese}, chinese}};
  const fs::path work = platform::OsPath(GetServiceState().workFolder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries.size() * 10 + static_cast<std::size_t>(c.language));
    fs::remove_all(work / "JEBMWKX6V");
    fs::remove(opened_);
    std::vector<ZipBuildEntry> files;
    for (const std::string& name : c.entries) files.push_back(FileEntry(name, "%PDF-1.4 " + name));
    std::ofstream(work / "JEBMWKX6V.zip", std::ios::binary | std::ios::trunc) << BuildZip(files);
    ApplyLanguage(*qApp, c.language);
    Click("imgUserTutorial");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Opened().empty(); }, 5000));
    const QString opened =
        QUrl::fromEncoded(QByteArray::fromStdString(Opened()).trimmed()).toLocalFile();
    EXPECT_EQ(opened.toStdString(), (work / "JEBMWKX6V" / c.opened).string());
  }
  ClearLanguageForTesting();
}

TEST_F(MainDlgHandlers, CloseButtonClosesTheWindow) {
  Click("btn_close");
  EXPECT_FALSE(window_->isVisible());
}

// "从本地安装包安装": the picked file is shown (its path on hover) until
// "改为在线下载" goes back; a cancelled dialog changes nothing.
TEST_F(MainDlgHandlers, LocalPackageIsPickedShownAndLeftAgain) {
  const fs::path file = home_.root() / "离线 安装包.zip";
  std::ofstream(file) << "PK";
  QString start;
  CMainDlg::SetPackagePickerForTesting([&start](const QString& at) {
    start = at;
    return QString();
  });
  Click("btnLocalPkg");
  EXPECT_EQ(start, PackageDialogStart(QString()));
  EXPECT_FALSE(Shown("localPkgTxt"));
  const QString picked = QString::fromStdString(file.string());
  CMainDlg::SetPackagePickerForTesting([picked](const QString&) { return picked; });
  Click("btnLocalPkg");
  EXPECT_TRUE(Shown("localPkgTxt"));
  EXPECT_TRUE(Text("localPkgTxt").contains(QStringLiteral("离线 安装包.zip")));
  EXPECT_EQ(Find("localPkgTxt")->toolTip(), picked);
  EXPECT_TRUE(Shown("btnDownloadPkg"));
  EXPECT_FALSE(Shown("btnLocalPkg"));
  EXPECT_EQ(window_->engine().localPackage(), platform::WidePath(file));
  Click("btnDownloadPkg");
  EXPECT_FALSE(Shown("localPkgTxt"));
  EXPECT_TRUE(Shown("btnLocalPkg"));
  EXPECT_TRUE(window_->engine().localPackage().empty());
  EXPECT_TRUE(fs::exists(file));
}

// Escape on the progress overlay does what its close button does: the
// download stops and the install image comes back.
TEST_F(MainDlgHandlers, EscapeOnTheProgressOverlayCancelsTheDownload) {
  LetConfigThrough();
  Find("imgNoDownDeekSeek")->setFocus();
  QTest::keyClick(window_->focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Find<QStackedWidget>("tab_Tip")->currentIndex(), 0);
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return Text("progDetailTxt").contains(QStringLiteral("已下载")); }, 10000));
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return window_->focusWidget() == Find("btn_TipClose1"); }, 5000));
  QTest::keyClick(window_->focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(Shown("tab_Tip"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Shown("imgNoDownDeekSeek"); }, 10000));
  EXPECT_FALSE(Shown("imgDownDeekSeek"));
  EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
