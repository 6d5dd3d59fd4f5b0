#include <install/uninstall_command.h>

#include <memory>

#include <base/text_helpers.h>
#include <config/app_constants.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/installed_status.h>
#include <install/ollama_runner.h>
#include <install/package_update.h>
#include <install/runner_server.h>
#include <install/space_text.h>
#include <install/step_runs.h>
#include <net/http_client.h>
#include <platform/instance_lock.h>
#include <platform/os_encoding.h>
#include <service/event_reporter.h>

namespace {

constexpr long kStatusTimeoutMs = 3000;

std::string Size(std::uint64_t bytes) { return WideToUtf8(FormatFreeSpace(bytes)); }

int Finish(const UninstallReport& report, std::ostream& out) {
  for (const std::wstring& line : report.lines) out << WideToUtf8(line) << "\n";
  if (!report.leftBehind.empty()) {
    out << "Left in place (not ours, or kept as asked):\n";
    for (const std::wstring& path : report.leftBehind) {
      out << "  " << platform::WideToOsNarrow(path) << "\n";
    }
  }
  out << (report.ok ? "Tidewell is uninstalled.\n"
                    : "Some parts could not be removed; the next start of Tidewell tries again.\n");
  return report.ok ? kUninstallDone : kUninstallIncomplete;
}

bool Confirmed(const char* question, std::istream& in, std::ostream& out) {
  out << question << "? [y/N] " << std::flush;
  std::string answer;
  std::getline(in, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int RunUninstallCommand(const UninstallCommandOptions& options, std::istream& in,
                        std::ostream& out) {
  // The window would go on working on what is being removed.
  std::unique_ptr<platform::InstanceLock> lock;
  if (platform::AcquireInstanceLock(GetAppConstants().instanceMutexName, &lock) ==
      platform::InstanceLockResult::AlreadyHeld) {
    out << "Tidewell is open: close its window first.\n";
    return kUninstallOpen;
  }
  // An update broken off is settled first: its programs are then where
  // the record says, and the uninstall takes them all.
  FinishPendingUpdate(nullptr, {});
  UninstallReport report;
  if (UninstallPending()) {
    out << "An uninstall of Tidewell was broken off.\n";
    if (!options.assumeYes && !Confirmed("Finish it", in, out)) {
      out << "Nothing was removed.\n";
      return kUninstallNotConfirmed;
    }
    out << "Finishing the uninstall that was broken off:\n";
    FinishPendingUninstall(&report, options.keepModels);
    return Finish(report, out);
  }

  std::wstring folder = LoadInstallPath();
  if (folder.empty()) folder = DefaultInstallFolder();
  const InstalledStatus status =
      CollectInstalledStatus(MakeInstallLayout(folder), kStatusTimeoutMs);
  const bool anything = status.runner.present || status.modelStore.present ||
                        status.chatClient.present || status.package.present ||
                        status.settings.present || status.work.present ||
                        !LoadInstallRecord().installFolders.empty();
  if (!anything) {
    out << "Nothing of Tidewell is installed.\n";
    return kUninstallDone;
  }
  out << InstalledStatusReport(status, RunnerServerAddress());
  const std::uint64_t freed =
      status.totalBytes - (options.keepModels ? status.modelStore.bytes : 0);
  out << "Everything above goes" << (options.keepModels ? ", except the models," : "") << " (about "
      << Size(freed) << ").\n";
  if (!options.assumeYes && !Confirmed("Uninstall", in, out)) {
    out << "Nothing was removed.\n";
    return kUninstallNotConfirmed;
  }

  // Told once, before anything goes; it waits for nothing but its leaving.
  EnsureCurlGlobalInit();
  GetEventReporter().Report("uninstall");
  StepContext context;
  context.installation.layout = MakeInstallLayout(folder);
  context.keepModels = options.keepModels;
  report = UninstallEverything(context);
  GetEventReporter().WaitSent();
  return Finish(report, out);
}
