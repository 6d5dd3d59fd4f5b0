// The window in English: no visible text is left in Chinese in any of its
// states, the language switch changes the texts at once, and every message
// of the English translation is finished.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cstdlib>

#include <base/translate.h>
#include <config/app_constants.h>
#include <config/reg_key.h>
#include <tests/support/temp_home.h>
#include <ui/language.h>
#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>
#include <ui/sample_states.h>
#include <tests/ui/found_lines.h>

namespace {

bool HasChinese(const QString& text) {
  static const QRegularExpression cjk(
      QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  return text.contains(cjk);
}

// Every visible text of `window` still in Chinese, with what a screen
// reader says of each control, named by its widget.
std::vector<std::string> ChineseTexts(QWidget& window) {
  std::vector<std::string> found;
  auto check = [&](const QWidget* widget, const char* what, const QString& text) {
    if (HasChinese(text)) {
      found.push_back(widget->objectName().toStdString() + " " + what + " \"" + text.toStdString() +
                      "\"");
    }
  };
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&window)) continue;
    // The switch names the other language in that language.
    if (widget->objectName() == QLatin1String("btnLanguage")) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) check(widget, "text", label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
      check(widget, "text", button->text());
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      check(widget, "placeholder", line->placeholderText());
    }
    check(widget, "toolTip", widget->toolTip());
    // What a screen reader says, in the same language.
    check(widget, "accessibleName", widget->accessibleName());
    check(widget, "accessibleDescription", widget->accessibleDescription());
  }
  return found;
}

// Outside a running event loop Qt announces no language change: as the
// running program would, the window hears of it.
void ChangeLanguage(QWidget& window, UiLanguage language) {
  ApplyLanguage(*qApp, language);
  QEvent change(QEvent::LanguageChange);
  QApplication::sendEvent(&window, &change);
}

class English : public ::testing::Test {
 protected:
  void SetUp() override { ApplyLanguage(*qApp, UiLanguage::English); }
  void TearDown() override { ClearLanguageForTesting(); }

  void Open(CMainDlg& window) {
    ASSERT_TRUE(window.Create());
    window.OnModelSelectionChanged();
    window.show();
    QApplication::processEvents();
  }

  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
};

TEST(Language, FollowsTheLocaleAndReadsItsValue) {
  const struct {
    const char* text;
    bool parses;
    UiLanguage language;
  } cases[] = {{"zh", true, UiLanguage::Chinese},    {"zh_CN", true, UiLanguage::Chinese},
               {"ZH_tw", true, UiLanguage::Chinese}, {"en", true, UiLanguage::English},
               {"en_GB", true, UiLanguage::English}, {"de", false, UiLanguage::Chinese},
               {"", false, UiLanguage::Chinese},     {"zhx", false, UiLanguage::Chinese}};
  for (const auto& c : cases) {
    UiLanguage language = UiLanguage::Chinese;
    EXPECT_EQ(ParseLanguage(QString::fromUtf8(c.text), &language), c.parses) << c.text;
    if (c.parses) {
      EXPECT_EQ(language, c.language) << c.text;
    }
  }
  EXPECT_EQ(LanguageForLocale(QStringLiteral("zh_CN")), UiLanguage::Chinese);
  EXPECT_EQ(LanguageForLocale(QStringLiteral("zh_HK")), UiLanguage::Chinese);
  EXPECT_EQ(LanguageForLocale(QStringLiteral("en_US")), UiLanguage::English);
  EXPECT_EQ(LanguageForLocale(QStringLiteral("de_DE")), UiLanguage::English);
  EXPECT_EQ(LanguageForLocale(QStringLiteral("C")), UiLanguage::English);
}

TEST_F(English, NoVisibleTextLeftInChineseInAnyState) {
  for (const QString& state : SampleStateNames()) {
    CMainDlg window;
    Open(window);
    ShowSampleState(window, state);
    QApplication::processEvents();
    const auto found = ChineseTexts(window);
    EXPECT_TRUE(found.empty()) << state.toStdString() << FoundLines(found);
  }
}

TEST_F(English, TheSwitchChangesTheTextsAtOnceAndBack) {
  CMainDlg window;
  Open(window);
  auto* manage = window.findChild<QAbstractButton*>(QStringLiteral("btnManage"));
  auto* toggle = window.findChild<QAbstractButton*>(QStringLiteral("btnLanguage"));
  ASSERT_NE(manage, nullptr);
  ASSERT_NE(toggle, nullptr);
  EXPECT_EQ(manage->text(), QStringLiteral("Manage"));
  EXPECT_EQ(toggle->text(), QStringLiteral("中"));
  // A text the program wrote stays the program's.
  auto* path = window.findChild<QLineEdit*>(QStringLiteral("InstPath"));
  ASSERT_NE(path, nullptr);
  path->setText(QStringLiteral("/home/someone/模型"));

  ChangeLanguage(window, UiLanguage::Chinese);
  EXPECT_EQ(manage->text(), QStringLiteral("管理"));
  EXPECT_EQ(toggle->text(), QStringLiteral("EN"));
  EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("cbx_Model"))->itemText(0),
            QStringLiteral("DeepSeek - R1 - 1.5B (推荐)"));
  EXPECT_EQ(path->text(), QStringLiteral("/home/someone/模型"));

  ChangeLanguage(window, UiLanguage::English);
  EXPECT_EQ(manage->text(), QStringLiteral("Manage"));
  auto* subtitle = window.findChild<QLabel*>(QStringLiteral("captionSubtitle"));
  ASSERT_NE(subtitle, nullptr);
  EXPECT_EQ(subtitle->text(), QStringLiteral("DeepSeek local setup assistant"));
  auto* models = window.findChild<QComboBox*>(QStringLiteral("cbx_Model"));
  ASSERT_NE(models, nullptr);
  EXPECT_EQ(models->itemText(0), QStringLiteral("DeepSeek - R1 - 1.5B (recommended)"));
  // The engine's texts are shown again in the new language.
  EXPECT_TRUE(ChineseTexts(window).empty()) << FoundLines(ChineseTexts(window));
}

TEST_F(English, TheEngineTextsGoThroughTheTranslator) {
  EXPECT_EQ(tw::Translate("mainRoot", "管理"), L"Manage");
  // Without a translation the text stays as written.
  EXPECT_EQ(tw::Translate("mainRoot", "没有这段文字"), L"没有这段文字");
}

std::wstring StoredLanguage() {
  try {
    RegKey key;
    key.Open(platform::kCurrentUser, GetAppConstants().productKeyPath);
    return key.GetStringValue(L"Language");
  } catch (const winreg::RegException&) {
    return L"(none)";
  }
}

class RememberedLanguage : public ::testing::Test {
 protected:
  RememberedLanguage() { ::unsetenv("TIDEWELL_LANGUAGE"); }
  ~RememberedLanguage() override {
    ::unsetenv("TIDEWELL_LANGUAGE");
    ClearLanguageForTesting();
  }
  TempHome home_;
};

TEST_F(RememberedLanguage, TheSystemsUntilPickedAndReadingCreatesNothing) {
  EXPECT_EQ(StartLanguage(), LanguageForLocale(QLocale::system().name()));
  // Reading stored nothing.
  EXPECT_EQ(StoredLanguage(), L"(none)");
  ASSERT_TRUE(RememberLanguage(UiLanguage::English));
  EXPECT_EQ(StoredLanguage(), L"en");
  EXPECT_EQ(StartLanguage(), UiLanguage::English);
  ASSERT_TRUE(RememberLanguage(UiLanguage::Chinese));
  EXPECT_EQ(StartLanguage(), UiLanguage::Chinese);
  // The environment decides over the remembered pick.
  ::setenv("TIDEWELL_LANGUAGE", "en", 1);
  EXPECT_EQ(StartLanguage(), UiLanguage::English);
}

TEST_F(RememberedLanguage, TheCaptionSwitchChangesAndRemembers) {
  CQtNotifyCenter center;
  Action::CActionFactory factory;
  ApplyLanguage(*qApp, UiLanguage::Chinese);
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  auto* toggle = window.findChild<QAbstractButton*>(QStringLiteral("btnLanguage"));
  ASSERT_NE(toggle, nullptr);
  EXPECT_EQ(toggle->text(), QStringLiteral("EN"));
  toggle->click();
  EXPECT_EQ(CurrentLanguage(), UiLanguage::English);
  EXPECT_EQ(StoredLanguage(), L"en");
  toggle->click();
  EXPECT_EQ(CurrentLanguage(), UiLanguage::Chinese);
  EXPECT_EQ(StoredLanguage(), L"zh");
}

// Each message of the English translation has a finished, non-empty
// translation.
TEST(EnglishTranslation, EveryMessageIsFinished) {
  QFile file(QStringLiteral(TIDEWELL_SOURCE_DIR "/res/translations/lang_en.ts"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  QString context;
  QString source;
  int messages = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("name")) {
      context = xml.readElementText();
    } else if (xml.name() == QLatin1String("source")) {
      source = xml.readElementText();
    } else if (xml.name() == QLatin1String("translation")) {
      ++messages;
      const QString type = xml.attributes().value(QLatin1String("type")).toString();
      const QString text = xml.readElementText();
      const std::string where = context.toStdString() + " \"" + source.toStdString() + "\"";
      EXPECT_TRUE(type.isEmpty()) << where << " is " << type.toStdString();
      EXPECT_FALSE(text.isEmpty()) << where << " has no translation";
      EXPECT_FALSE(HasChinese(text)) << where << ": \"" << text.toStdString() << "\"";
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GT(messages, 0);
}

}  // namespace
