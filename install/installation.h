#pragma once
// What one installation works on, taken on the window thread at its click:
// where everything goes below the folder the user chose, and the package the
// service announced. Its tasks get a copy and work on it to their end,
// whatever the window or a later configuration changes meanwhile.
#include <string>
#include <vector>

#include <install/install_layout.h>

struct Installation {
  InstallLayout layout;  // layout.installFolder: the folder as chosen
  std::string packageUrl;
  std::string packageSha256;  // empty: nothing announced, nothing checked
  // Every location of the package in the order tried (packageUrl alone when
  // empty).
  std::vector<std::string> packageUrls;
  // The package the user chose on disk: when set, it is installed from and
  // nothing is downloaded. Never removed or changed.
  std::wstring localPackage;
  // The package's version as the configuration named it (empty: none).
  std::string packageVersion;
};

// The current install folder and configuration (window thread).
Installation TakeInstallation();
