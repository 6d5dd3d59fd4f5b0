#include <install/status_command.h>

#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/installed_status.h>
#include <install/ollama_runner.h>
#include <install/runner_server.h>
#include <platform/os_encoding.h>

int InstalledStatusText(std::string& text) {
  std::wstring folder = LoadInstallPath();
  if (folder.empty()) folder = DefaultInstallFolder();
  const InstalledStatus status = CollectInstalledStatus(MakeInstallLayout(folder), 3000);
  text = InstalledStatusReport(status, RunnerServerAddress());
  // What the installation recorded it made: what uninstall will take back.
  const InstallRecord record = LoadInstallRecord();
  text += record.installFolders.empty() && record.objects.empty()
              ? std::string("Installation record: none\n")
              : "Installation record (" + platform::WideToOsNarrow(InstallRecordFile()) + "):\n" +
                    InstallRecordText(record);
  return static_cast<int>(StateOf(status));
}
