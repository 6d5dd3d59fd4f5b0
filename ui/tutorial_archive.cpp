#include "tutorial_archive.h"

#include <QFile>

#include <filesystem>
#include <system_error>

#include <catalogue/tutorial_guide.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>

QByteArray BuiltInTutorialArchive() {
  QFile file(QStringLiteral(":/tutorial/JEBMWKX6V.zip"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool PlaceTutorialArchive(const std::wstring& workFolder) {
  if (workFolder.empty()) return false;
  namespace fs = std::filesystem;
  const fs::path target = platform::OsPath(workFolder) / platform::OsPath(kTutorialArchiveName);
  std::error_code ec;
  // symlink_status: a link counts as something there, whatever it points at.
  if (fs::exists(fs::symlink_status(target, ec))) return true;
  if (!fs::is_directory(platform::OsPath(workFolder), ec)) return false;
  const QByteArray archive = BuiltInTutorialArchive();
  if (archive.isEmpty()) return false;
  return platform::WriteFileAtomically(
             target,
             std::string_view(archive.constData(), static_cast<std::size_t>(archive.size()))) == 0;
}
