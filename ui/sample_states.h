#pragma once
// The window's states with sample values, so each can be looked at (and
// measured) without running an installation.
#include <QString>
#include <QStringList>

class CMainDlg;

// download, setup, model, runner, finished, progress, models, manage,
// uninstall, repair, notice (the first start's usage-report notice),
// local_package, gpu.
QStringList SampleStateNames();
// Puts a freshly created window into `state`; an unknown name leaves it as is.
void ShowSampleState(CMainDlg& window, const QString& state);
