#pragma once
// The folder dialog in Chinese and where the person left off.
#include <QString>

class QCoreApplication;
class QTranslator;

// The folder the dialog opens at: the typed install folder when it exists,
// else its nearest existing parent, else the home folder. Relative or empty
// text says nothing about a place, so it gives the home folder too.
QString FolderDialogStart(const QString& typed);

// Installs Qt's own Chinese texts (buttons, the dialog's labels) from
// `folder` (Qt's translations folder when empty). Returns the installed
// translator, owned by `app`, or nullptr when the file is missing or unreadable.
QTranslator* InstallQtTranslation(QCoreApplication& app, const QString& folder = QString());
