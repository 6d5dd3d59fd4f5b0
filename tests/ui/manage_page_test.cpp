// The manage page: what it lists for each state of the installation, that
// its buttons reach the actions, that it is inert while busy, and the
// uninstall question's switches.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>

#include <ui/language.h>
#include <ui/main_dlg.h>
#include <ui/manage_dialogs.h>
#include <ui/manage_page.h>
#include <ui/message_box.h>
#include <ui/qt_notify_center.h>
#include <ui/size_text.h>

namespace {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

InstalledPart Part(const wchar_t* path, std::uint64_t bytes) {
  return InstalledPart{path, true, bytes};
}

InstalledStatus Complete() {
  InstalledStatus status;
  status.runner = Part(L"/home/u/AlTidewell/ollama_location", 4 * kGiB);
  status.runnerProgram = true;
  status.runnerVersion = "0.5.7";
  status.modelStore = Part(L"/home/u/AlTidewell/ollama_models", 6 * kGiB);
  status.modelsListed = true;
  status.models = {{"deepseek-r1:1.5b", kGiB, "2025-02-14T10:21:07.61+08:00", false},
                   {"deepseek-r1:7b", 5 * kGiB, "2025-03-01T08:00:00Z", true}};
  status.chatClient = Part(L"/home/u/AlTidewell/chatbox_location", 400 * 1024 * 1024);
  status.package = Part(L"/home/u/.local/share/Tidewell/deepseek.zip", kGiB);
  status.settings = Part(L"/home/u/.config/Tidewell", 24 * 1024);
  status.work = Part(L"/home/u/.local/share/Tidewell", 3 * 1024 * 1024);
  status.totalBytes = 12 * kGiB;
  return status;
}

class ManagePageTest : public ::testing::Test {
 protected:
  ManagePageTest() {
    overlay_.addWidget(new QWidget);
    overlay_.addWidget(new QWidget);
    page_ = new CManagePage(overlay_);
    overlay_.resize(800, 600);
  }

  QString Text(const QString& row, const char* label) {
    QWidget* found = page_->findChild<QWidget*>(row);
    auto* text = found != nullptr ? found->findChild<QLabel*>(QLatin1String(label)) : nullptr;
    return text != nullptr ? text->text() : QStringLiteral("<none>");
  }
  // The model rows, by the model each names.
  QStringList Models() {
    QStringList names;
    for (QWidget* row : page_->findChildren<QWidget*>()) {
      if (row->property("role").toString() == QLatin1String("manageModelRow")) {
        names << row->property("model").toString();
      }
    }
    return names;
  }

  QStackedWidget overlay_;
  CManagePage* page_;
};

TEST_F(ManagePageTest, ListsEachPartAndModelForTheState) {
  struct Case {
    const char* name;
    std::function<void(InstalledStatus&)> change;
    bool sizesKnown;
    QString runnerSize, chatSize, runnerTags, total, note;
    QStringList models;
  };
  const QStringList both = {"deepseek-r1:1.5b", "deepseek-r1:7b"};
  const Case cases[] = {
      {"complete", [](InstalledStatus&) {}, true, "4.00 GB", "400.00 MB", "版本 0.5.7",
       "共占用 12.00 GB", "<none>", both},
      {"counting", [](InstalledStatus&) {}, false, "正在统计…", "正在统计…", "版本 0.5.7",
       "正在统计占用的空间…", "<none>", both},
      {"chat client absent", [](InstalledStatus& s) { s.chatClient.present = false; }, true,
       "4.00 GB", "未安装", "版本 0.5.7", "共占用 12.00 GB", "<none>", both},
      {"server not answering",
       [](InstalledStatus& s) {
         s.modelsListed = false;
         s.models.clear();
         s.runnerVersion.reset();
       },
       true,
       "4.00 GB",
       "400.00 MB",
       "<none>",
       "共占用 12.00 GB",
       "模型服务未运行，无法列出模型",
       {}},
      {"no model yet",
       [](InstalledStatus& s) { s.models.clear(); },
       true,
       "4.00 GB",
       "400.00 MB",
       "版本 0.5.7",
       "共占用 12.00 GB",
       "还没有下载模型",
       {}},
      {"runner program gone",
       [](InstalledStatus& s) {
         s.runnerProgram = false;
         s.runnerVersion.reset();
       },
       true, "4.00 GB", "400.00 MB", "程序缺失", "共占用 12.00 GB", "<none>", both},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledStatus status = Complete();
    c.change(status);
    page_->ShowManagePage(status, c.sizesKnown);
    EXPECT_TRUE(page_->Shows());
    EXPECT_EQ(overlay_.currentIndex(), static_cast<int>(OverlayPage::Manage));
    EXPECT_EQ(Text("managePart_runner", "name"), "运行程序 Ollama");
    EXPECT_EQ(Text("managePart_runner", "size"), c.runnerSize);
    EXPECT_EQ(Text("managePart_runner", "tag"), c.runnerTags);
    EXPECT_EQ(Text("managePart_chat", "size"), c.chatSize);
    EXPECT_EQ(Text("managePart_store", "modelsNote"), c.note);
    EXPECT_EQ(page_->findChild<QLabel*>("manageTotal")->text(), c.total);
    EXPECT_EQ(Models(), c.models);
    for (const char* part : {"package", "settings", "work"}) {
      EXPECT_NE(Text(QStringLiteral("managePart_") + part, "size"), "<none>") << part;
    }
    // The whole path is a hover away however it is cut.
    auto* path = page_->findChild<QWidget*>("managePart_store")->findChild<QLabel*>("path");
    EXPECT_EQ(path->toolTip(), "/home/u/AlTidewell/ollama_models");
  }
  page_->HideManagePage();
  EXPECT_FALSE(overlay_.isVisible());
  EXPECT_EQ(overlay_.currentIndex(), 0);
}

TEST_F(ManagePageTest, ModelRowsShowDayAndUseAndRemoveThatModel) {
  std::vector<std::string> removed;
  int repairs = 0, updates = 0, uninstalls = 0;
  page_->SetActions({[&](const std::string& model) { removed.push_back(model); },
                     [&] { ++repairs; }, [&] { ++updates; }, [&] { ++uninstalls; }});
  page_->ShowManagePage(Complete(), true);
  EXPECT_EQ(Text("manageModel1", "date"), "2025-02-14");
  EXPECT_EQ(Text("manageModel1", "size"), "1.00 GB");
  EXPECT_EQ(Text("manageModel1", "inUse"), "<none>");
  EXPECT_EQ(Text("manageModel2", "inUse"), "Chatbox 正在使用");
  page_->findChild<QWidget*>("manageModel2")->findChild<QAbstractButton*>("remove")->click();
  page_->findChild<QWidget*>("manageModel1")->findChild<QAbstractButton*>("remove")->click();
  EXPECT_EQ(removed, (std::vector<std::string>{"deepseek-r1:7b", "deepseek-r1:1.5b"}));
  page_->findChild<QAbstractButton*>("btnManageRepair")->click();
  page_->findChild<QAbstractButton*>("btnManageUninstall")->click();
  EXPECT_EQ(repairs, 1);
  EXPECT_EQ(uninstalls, 1);
  EXPECT_EQ(updates, 0);
}

TEST_F(ManagePageTest, UpdateIsOfferedOnlyWhenANewerPackageIsNamed) {
  int updates = 0;
  page_->SetActions({{}, {}, [&] { ++updates; }, {}});
  for (const std::string version : {"1.10", "", "2.0.1"}) {
    SCOPED_TRACE(version);
    InstalledStatus status = Complete();
    status.updateVersion = version;
    page_->ShowManagePage(status, true);
    auto* update = page_->findChild<QAbstractButton*>("btnManageUpdate");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->isVisibleTo(page_), !version.empty());
    if (version.empty()) continue;
    EXPECT_EQ(update->text(), "更新");
    EXPECT_TRUE(update->toolTip().contains(QString::fromStdString(version)));
    update->click();
  }
  EXPECT_EQ(updates, 2);
}

// A language switch while the page is open: it speaks the new language at
// once, its rows made again from what it showed, and back.
TEST_F(ManagePageTest, ALanguageSwitchRedoesTheOpenPage) {
  page_->ShowManagePage(Complete(), true);
  auto switchTo = [this](UiLanguage language) {
    ApplyLanguage(*qApp, language);
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&overlay_, &change);
    QApplication::processEvents();
  };
  auto title = [this] { return page_->findChild<QLabel*>("manageTitle")->text(); };
  auto button = [this](const char* name) {
    return page_->findChild<QAbstractButton*>(name)->text();
  };
  switchTo(UiLanguage::English);
  EXPECT_EQ(title(), "Manage what is installed");
  EXPECT_EQ(button("btnManageRepair"), "Repair");
  EXPECT_EQ(Text("managePart_runner", "name"), "Runner Ollama");
  EXPECT_EQ(Text("managePart_runner", "tag"), "version 0.5.7");
  EXPECT_FALSE(Text("manageModel2", "inUse").contains(QStringLiteral("正在使用")));
  EXPECT_EQ(Models(), (QStringList{"deepseek-r1:1.5b", "deepseek-r1:7b"}));
  switchTo(UiLanguage::Chinese);
  EXPECT_EQ(title(), "管理已安装的内容");
  EXPECT_EQ(Text("managePart_runner", "name"), "运行程序 Ollama");
  EXPECT_EQ(Text("manageModel2", "inUse"), "Chatbox 正在使用");
  ClearLanguageForTesting();
}

TEST_F(ManagePageTest, BusyTurnsEveryButtonOffUntilItEnds) {
  page_->ShowManagePage(Complete(), true);
  const auto enabledButtons = [this] {
    int on = 0;
    for (QAbstractButton* b : page_->findChildren<QAbstractButton*>()) on += b->isEnabled();
    return on;
  };
  const int all = static_cast<int>(page_->findChildren<QAbstractButton*>().size());
  ASSERT_EQ(all, 5);  // two removes, update (hidden: no newer package), repair, uninstall
  auto* busy = page_->findChild<QLabel*>("manageBusy");
  page_->ShowManageBusy(L"正在删除 deepseek-r1:7b…");
  EXPECT_EQ(enabledButtons(), 0);
  EXPECT_FALSE(busy->isHidden());
  EXPECT_EQ(busy->text(), "正在删除 deepseek-r1:7b…");
  page_->ShowManagePage(Complete(), true);  // a refresh while busy stays off
  EXPECT_EQ(enabledButtons(), 0);
  page_->ShowManageBusy(L"");
  EXPECT_EQ(enabledButtons(), all);
  EXPECT_TRUE(busy->isHidden());
}

TEST(UninstallQuestion, FreedSizeFollowsTheKeepModelsSwitch) {
  CUninstallDialog dialog(nullptr, 12 * kGiB, 5 * kGiB);
  EXPECT_EQ(dialog.Text(),
            "将删除 Ollama、已下载的模型、Chatbox 及本程序的设置，共释放约 12.00 GB。");
  EXPECT_FALSE(dialog.KeepModels().isChecked());
  EXPECT_FALSE(dialog.RemoveChatSettings().isChecked());
  dialog.KeepModels().setChecked(true);
  EXPECT_EQ(dialog.Text(), "将删除 Ollama、Chatbox 及本程序的设置，共释放约 7.00 GB。");
  dialog.RemoveChatSettings().setChecked(true);
  EXPECT_TRUE(dialog.Choice().keepModels);
  EXPECT_TRUE(dialog.Choice().removeChatSettings);
  dialog.KeepModels().setChecked(false);
  EXPECT_EQ(dialog.Text(), UninstallQuestionText(12 * kGiB, false));
  EXPECT_FALSE(dialog.Choice().keepModels);
}

// The page's own question, answered by a click as a person would: the
// choice comes back only with 卸载.
TEST_F(ManagePageTest, AskUninstallReturnsTheSwitchesOnlyWhenConfirmed) {
  QWidget host;
  overlay_.setParent(&host);
  host.resize(800, 600);
  host.show();
  for (const char* button : {"uninstallConfirm", "uninstallCancel"}) {
    SCOPED_TRACE(button);
    QTimer::singleShot(0, &host, [&host, button] {
      auto* dialog = host.findChild<QWidget*>("inWindowDialog");
      ASSERT_NE(dialog, nullptr);
      EXPECT_TRUE(dialog->isVisible());
      dialog->findChild<QCheckBox*>("uninstallKeepModels")->setChecked(true);
      dialog->findChild<QAbstractButton*>(QLatin1String(button))->click();
    });
    UninstallChoice choice;
    const bool confirmed = page_->AskUninstall(12 * kGiB, 5 * kGiB, choice);
    EXPECT_EQ(confirmed, qstrcmp(button, "uninstallConfirm") == 0);
    EXPECT_EQ(choice.keepModels, confirmed);
    EXPECT_FALSE(choice.removeChatSettings);
  }
  overlay_.setParent(nullptr);
}

// With the boxes answered automatically, the question and the report go to
// the handlers, so nothing waits for a person.
TEST_F(ManagePageTest, BoxesGoThroughTheHandlers) {
  QStringList asked, shown;
  SetQuestionHandler([&](const QString& text, const QString&) {
    asked << text;
    return false;
  });
  SetMessageBoxHandler(
      [&](const QString& text, const QString& caption, MessageIcon) { shown << caption << text; });
  UninstallChoice choice;
  EXPECT_FALSE(page_->AskUninstall(3 * kGiB, kGiB, choice));
  page_->ShowManageReport(L"修复完成", {L"安装包：完好", L"运行程序 Ollama：已重新安装"});
  SetQuestionHandler(nullptr);
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(asked, QStringList{UninstallQuestionText(3 * kGiB, false)});
  EXPECT_EQ(shown, (QStringList{"修复完成", "安装包：完好\n运行程序 Ollama：已重新安装"}));
}

// 管理 opens the page through its engine; the overlay's close button closes
// it through the same engine.
TEST(ManageInWindow, CaptionButtonOpensAndOverlayCloseClosesThePage) {
  CQtNotifyCenter center;
  Action::CActionFactory factory;
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  window.show();
  auto* overlay = window.findChild<QStackedWidget*>("tab_Tip");
  ASSERT_NE(overlay, nullptr);
  ASSERT_NE(window.managePage(), nullptr);
  EXPECT_EQ(overlay->widget(static_cast<int>(OverlayPage::Manage)), window.managePage());
  window.findChild<QAbstractButton*>("btnManage")->click();
  EXPECT_TRUE(window.OverlayShows(OverlayPage::Manage));
  window.findChild<QAbstractButton*>("btn_TipClose1")->click();
  EXPECT_FALSE(overlay->isVisible());
  EXPECT_FALSE(window.managePage()->Shows());
}

}  // namespace
