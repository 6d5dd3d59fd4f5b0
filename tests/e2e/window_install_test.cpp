// The real window, offscreen, driven by object name through a whole
// installation against the local vendor service, the real setup program and
// the stand-ins for the runner and the chat client, and through the failure
// paths a user meets.
#include <tests/e2e/window_session.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <filesystem>

#include <config/app_constants.h>
#include <config/json_text.h>
#include <config/reg_key.h>
#include <install/install_layout.h>
#include <install/runner_server.h>
#include <platform/os_encoding.h>
#include <platform/process_lookup.h>
#include <platform/user_environment.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/built_programs.h>
#include <tests/support/temp_home.h>
#include <tests/support/vendor_service_process.h>
#include <ui/main_dlg.h>
#include <ui/message_box.h>
#include <ui/qt_notify_center.h>
#include <work/action_factory.h>
#include <work/thread_module.h>

namespace {

using namespace window_session;

// True when a program of that name runs from below the folder.
bool RunsBelow(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::error_code linkError;
    const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
    if (!linkError && exe.filename() == name && exe.string().rfind(folder.string() + "/", 0) == 0) {
      return true;
    }
  }
  return false;
}

QString Text(QWidget& window, const char* name) {
  QWidget* child = Find(window, name);
  if (auto* label = qobject_cast<QLabel*>(child)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(child)) return edit->text();
  return QString();
}

class WindowInstall : public WindowSession {
 protected:
  void Click(const char* name) { QTest::mouseClick(Find(W(), name), Qt::LeftButton); }
};

TEST_F(WindowInstall, WholeInstallationThenMoreModelsThenTryNow) {
  Start({"--model-size-bytes", "3000000", "--model-rate", "1500000"});
  const fs::path install = platform::OsPath(DefaultInstallFolder());
  EXPECT_EQ(Text(W(), "InstPath"), QString::fromStdString(install.string()));
  EXPECT_TRUE(fs::is_directory(install));
  EXPECT_TRUE(Shown("imgNoDownDeekSeek"));

  Click("imgNoDownDeekSeek");
  EXPECT_TRUE(Shown("imgDownDeekSeek"));
  EXPECT_FALSE(Shown("imgNoDownDeekSeek"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Shown("imgDownModeling"); }, 60000))
      << messages_.join("\n").toStdString();
  // The pull's own progress under the stage image, read from the runner.
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return Text(W(), "stageProgressTxt").contains("%"); }, 30000))
      << "[" << Text(W(), "stageProgressTxt").toStdString() << "] "
      << messages_.join("\n").toStdString() << " page " << Page("tab_pages2");
  ASSERT_TRUE(QTest::qWaitFor([this] { return Page("tab_pages2") == 1; }, 60000))
      << messages_.join("\n").toStdString() << Text(W(), "stageProgressTxt").toStdString();
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
  // The model answered once before the page said so.
  EXPECT_TRUE(Text(W(), "modelstrTxt").startsWith(QStringLiteral("已下载 deepseek-r1:1.5b · 首次回答用时 ")))
      << Text(W(), "modelstrTxt").toStdString();
  EXPECT_EQ(Text(W(), "stageProgressTxt"), QStringLiteral("deepseek-r1:1.5b  模型下载完成"));
  EXPECT_FALSE(Find(W(), "adked_btn1")->isEnabled());
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"opensoftware", "installDeepseek", "clickInstallPackDeepseek",
                                      "InstallOllamaStartDeepseek", "InstallOllamaEndDeepseek",
                                      "DownModelStartDeepseek", "DownModelEndDeepseek",
                                      "modelDownSuccDeepseek", "FirstAnswerOkDeepseek"}));
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.ollamaExecutable)));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.chatboxExecutable)));
  Json::Value settings;
  ASSERT_TRUE(ParseJson(ReadTextFile(platform::OsPath(ChatboxSettingsFile())), settings));
  EXPECT_EQ(settings["settings"]["ollamaModel"].asString(), "deepseek-r1:1.5b");
  EXPECT_NE(ReadTextFile(home_.config() / "environment.d" / "tidewell.conf").find("OLLAMA_MODELS="),
            std::string::npos);

  // More models from the list, two rows at once.
  Click("imgDownOtherModel");
  EXPECT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Page("tab_Tip"), 1);
  Click("adked_btn2");
  Click("adked_btn3");
  EXPECT_TRUE(Shown("winProgress2"));
  EXPECT_TRUE(Shown("winProgress3"));
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return !Shown("winProgress2") && !Shown("winProgress3"); }, 60000));
  EXPECT_FALSE(Find(W(), "adked_btn2")->isEnabled());
  EXPECT_FALSE(Find(W(), "adked_btn3")->isEnabled());
  EXPECT_EQ(Text(W(), "progress_value2"), QStringLiteral("模型下载完成"));
  Click("btn_TipClose1");
  EXPECT_FALSE(Shown("tab_Tip"));

  // The client came as an AppImage: it was unpacked, and try now starts the
  // unpacked program, which needs no FUSE.
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.chatboxProgram)));
  Click("imgOnceTiYan");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return RunsBelow(platform::OsPath(layout.chatboxAppFolder), "chatbox"); }, 10000));
  EXPECT_EQ(Events().back(), "clickOnceTiyanDeepseek");
}

// The texts of the manage page's row for the part ("runner", "chat", ...).
QStringList PartTexts(QWidget& window, const QString& key) {
  QStringList texts;
  if (auto* row = window.findChild<QWidget*>(QStringLiteral("managePart_") + key)) {
    for (const QLabel* label : row->findChildren<QLabel*>()) texts << label->text();
  }
  return texts;
}

TEST_F(WindowInstall, ManagePageShowsWhatIsInstalledAndUninstallReturnsToTheInstallPage) {
  ASSERT_NO_FATAL_FAILURE(Start({"--model-size-bytes", "3000000", "--model-rate", "30000000"}));
  const InstallLayout layout = MakeInstallLayout(DefaultInstallFolder());
  Click("imgNoDownDeekSeek");
  ASSERT_TRUE(QTest::qWaitFor([this] { return Page("tab_pages2") == 1; }, 120000))
      << messages_.join("\n").toStdString();

  // The page opens at once; the versions come with the sizes.
  Click("btnManage");
  EXPECT_TRUE(Shown("tipDlgManage"));
  ASSERT_TRUE(QTest::qWaitFor(
      [this] {
        return PartTexts(W(), "chat").contains(QStringLiteral("版本 1.9.8")) &&
               !PartTexts(W(), "runner").filter(QStringLiteral("版本 ")).isEmpty();
      },
      30000));
  EXPECT_NE(W().findChild<QWidget*>(QStringLiteral("manageModel1")), nullptr);

  // Everything goes (the question answered yes, the models not kept).
  Click("btnManageUninstall");
  ASSERT_TRUE(QTest::qWaitFor([this] { return !messages_.isEmpty(); }, 60000));
  EXPECT_TRUE(messages_.back().startsWith(QStringLiteral("卸载完成|")))
      << messages_.back().toStdString();
  EXPECT_EQ(questions_.size(), 1);
  EXPECT_EQ(Page("tab_pages2"), 0);
  EXPECT_FALSE(Shown("tab_Tip"));
  EXPECT_TRUE(Shown("imgNoDownDeekSeek"));
  EXPECT_FALSE(fs::exists(platform::OsPath(layout.installFolder)));
  EXPECT_FALSE(RunsBelow(platform::OsPath(layout.ollamaFolder), "ollama"));
  const std::vector<std::string> events = Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "uninstall"), 1);
}

TEST_F(WindowInstall, UnusableFolderIsRefusedWithTheMessage) {
  Start({});
  Find<QLineEdit>(W(), "InstPath")->setText("/proc/no/such/folder");
  Click("imgNoDownDeekSeek");
  EXPECT_EQ(messages_, QStringList{QStringLiteral("安装失败|DeepSeek安装不存在，不能安装!")});
  EXPECT_TRUE(Shown("imgNoDownDeekSeek"));
  EXPECT_FALSE(Shown("tab_Tip"));
}

TEST_F(WindowInstall, NoPackageUrlReturnsToTheInstallImage) {
  Start({"--no-package-url"});
  Click("imgNoDownDeekSeek");
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return Shown("imgNoDownDeekSeek") && !Shown("tab_Tip"); }, 30000));
  EXPECT_EQ(Events().back(), "noUrlDeepseek");
  EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(WindowInstall, BrokenModelDownloadShowsTheErrorAndTheMessage) {
  Start({"--broken-model", "deepseek-r1:1.5b", "--model-size-bytes", "3000000"});
  Click("imgNoDownDeekSeek");
  ASSERT_TRUE(QTest::qWaitFor([this] { return !messages_.isEmpty(); }, 60000));
  EXPECT_EQ(messages_.front(), QStringLiteral("提示|网络不畅，关闭软件后重新打开即可!"));
  EXPECT_TRUE(Shown("imgNoDownDeekSeek"));
  // The cause stays under the install image once the box is gone; the
  // runner's raw words do not.
  EXPECT_TRUE(Shown("causeTxt"));
  EXPECT_TRUE(Text(W(), "causeTxt").contains(QStringLiteral("模型下载失败（")))
      << Text(W(), "causeTxt").toStdString();
  EXPECT_TRUE(Text(W(), "stageProgressTxt").isEmpty());
}

}  // namespace
