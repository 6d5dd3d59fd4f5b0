#pragma once
// Where everything lives below the install folder the user chose, and the
// few per-user places outside it. Paths are plain concatenations with the
// platform's separator and program suffix: the folder is used as entered.
#include <string>

struct InstallLayout {
  std::wstring installFolder;
  std::wstring unpackFolder;      // the package unpacked
  std::wstring installersFolder;  // the two setups inside it
  std::wstring ollamaSetup;
  std::wstring chatboxSetup;
  std::wstring ollamaFolder;
  std::wstring ollamaExecutable;
  std::wstring modelStore;
  std::wstring chatboxFolder;
  std::wstring chatboxExecutable;  // what the client's setup puts there
  // Where a client that comes as an AppImage is unpacked, and the program
  // started from there.
  std::wstring chatboxAppFolder;
  std::wstring chatboxProgram;
};

InstallLayout MakeInstallLayout(const std::wstring& installFolder);
// The layout below the install folder the window holds now. A task takes it
// once, when it starts, and works on that copy to its end.
InstallLayout CurrentInstallLayout();

// Where the stack goes unless the user chose otherwise: "AlTidewell" in the
// platform's default parent (the home folder; "C:\\AlTidewell" on Windows).
std::wstring DefaultInstallFolder();
// The install package, kept between runs in the per-user data folder.
std::wstring PackageArchivePath();
// Our settings folder (the key store, the settings file) and our work
// folder (logs, the tutorial, the kept package), without a trailing
// separator.
std::wstring SettingsFolder();
std::wstring WorkFolder();
// The chat client's own settings folder and file.
std::wstring ChatboxSettingsFolder();
std::wstring ChatboxSettingsFile();
