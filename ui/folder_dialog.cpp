#include <ui/folder_dialog.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

QString FolderDialogStart(const QString& typed) {
  const QString trimmed = typed.trimmed();
  if (trimmed.isEmpty() || QDir::isRelativePath(trimmed)) return QDir::homePath();
  QString path = QDir::cleanPath(QDir::fromNativeSeparators(trimmed));
  while (!path.isEmpty()) {
    if (QFileInfo(path).isDir()) return QDir::toNativeSeparators(path);
    const QString parent = QFileInfo(path).path();
    if (parent == path) break;  // a root that does not exist
    path = parent;
  }
  return QDir::homePath();
}

QTranslator* InstallQtTranslation(QCoreApplication& app, const QString& folder) {
  const QString dir =
      folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), dir) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}
