#pragma once
// The file dialog for an install package on disk, in Chinese like the
// folder dialog (Qt's own labels come from its Chinese translation).
#include <QString>

class QWidget;

// The folder the dialog opens at: the chosen package's folder when there is
// one that exists, else the user's download folder, else the home folder.
QString PackageDialogStart(const QString& chosen);
// Asks for a .zip file; empty when the person cancels.
QString AskForPackageFile(QWidget* parent, const QString& start);
