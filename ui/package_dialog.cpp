#include <ui/package_dialog.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

QString PackageDialogStart(const QString& chosen) {
  if (!chosen.isEmpty()) {
    const QFileInfo file(chosen);
    if (file.isAbsolute() && file.dir().exists()) return file.absolutePath();
  }
  const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (!downloads.isEmpty() && QFileInfo(downloads).isDir()) return downloads;
  return QDir::homePath();
}

QString AskForPackageFile(QWidget* parent, const QString& start) {
  return QFileDialog::getOpenFileName(
      parent, QCoreApplication::translate("PackageDialog", "请选择安装包"), start,
      QCoreApplication::translate("PackageDialog", "安装包 (*.zip);;所有文件 (*)"));
}
