// The folder dialog opens where the install folder is, and Qt's own texts
// are in Chinese when Qt's translation is on the machine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTranslator>

#include <ui/folder_dialog.h>

namespace {

TEST(FolderDialogStart, NearestExistingFolder) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString base = root.path();
  ASSERT_TRUE(QDir(base).mkpath(QStringLiteral("a/b")));
  QFile file(base + QStringLiteral("/a/file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const QString home = QDir::homePath();
  const QString native = QDir::toNativeSeparators(base);
  struct Case {
    QString typed;
    QString start;
  };
  const Case cases[] = {
      {base + "/a/b", native + "/a/b"},             // exists: itself
      {base + "/a/b/", native + "/a/b"},            // a trailing separator
      {"  " + base + "/a/b  ", native + "/a/b"},    // spaces around
      {base + "/a/b/AlTidewell", native + "/a/b"},  // not made yet: its parent
      {base + "/a/x/y/z", native + "/a"},           // several missing levels
      {base + "/a/file/sub", native + "/a"},        // a file on the way is no folder
      {base + "/a/file", native + "/a"},            // nor is the file itself
      {base + "/a/../a/b", native + "/a/b"},        // dots are resolved
      {QString(), home},                            // nothing typed
      {QStringLiteral("relative/folder"), home},    // says nothing about a place
      {QStringLiteral("/"), QDir::toNativeSeparators(QStringLiteral("/"))},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderDialogStart(c.typed).toStdString(), c.start.toStdString())
        << "typed \"" << c.typed.toStdString() << "\"";
  }
}

class QtTranslation : public ::testing::Test {
 protected:
  void TearDown() override {
    if (installed_ != nullptr) {
      QCoreApplication::removeTranslator(installed_);
      delete installed_;
    }
  }
  QTranslator* installed_ = nullptr;
};

TEST_F(QtTranslation, InstalledWhenTheFileIsThere) {
  const QString system = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!QFile::exists(system + QStringLiteral("/qtbase_zh_CN.qm"))) {
    GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
  }
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ASSERT_TRUE(QFile::copy(system + QStringLiteral("/qtbase_zh_CN.qm"),
                          folder.path() + QStringLiteral("/qtbase_zh_CN.qm")));
  const QString before = QCoreApplication::translate("QFileDialog", "Look in:");
  installed_ = InstallQtTranslation(*qApp, folder.path());
  ASSERT_NE(installed_, nullptr);
  EXPECT_EQ(installed_->parent(), qApp);
  const QString after = QCoreApplication::translate("QFileDialog", "Look in:");
  EXPECT_EQ(before, QStringLiteral("Look in:"));
  EXPECT_NE(after, before);  // the dialog's own label, now in Chinese
}

TEST_F(QtTranslation, NothingInstalledWhenTheFileIsMissing) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  installed_ = InstallQtTranslation(*qApp, empty.path());
  EXPECT_EQ(installed_, nullptr);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
}

}  // namespace
