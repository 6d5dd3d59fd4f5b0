#include <install/update_command.h>

#include <memory>
#include <string>

#include <base/text_helpers.h>
#include <config/app_constants.h>
#include <install/install_layout.h>
#include <install/ollama_runner.h>
#include <install/package_update.h>
#include <install/update_journal.h>
#include <net/http_client.h>
#include <platform/instance_lock.h>
#include <service/event_reporter.h>
#include <service/service_state.h>

namespace {

int Finish(const UpdateReport& report, std::ostream& out) {
  out << WideToUtf8(UpdateReportTitle(report)) << "\n";
  if (!report.cause.empty()) out << WideToUtf8(report.cause) << "\n";
  for (const std::wstring& line : report.lines) out << WideToUtf8(line) << "\n";
  GetEventReporter().WaitSent();
  return report.result == UpdateResult::Updated ? kUpdateDone : kUpdateFailed;
}

UpdateCalls Calls(std::ostream& out) {
  UpdateCalls calls;
  calls.report = [](const std::string& event) { GetEventReporter().Report(event); };
  calls.progress = [&out](const std::wstring& line) { out << WideToUtf8(line) << "\n" << std::flush; };
  return calls;
}

}  // namespace

int RunUpdateCommand(std::istream& in, std::ostream& out) {
  // The window would go on working on what is being replaced.
  std::unique_ptr<platform::InstanceLock> lock;
  if (platform::AcquireInstanceLock(GetAppConstants().instanceMutexName, &lock) ==
      platform::InstanceLockResult::AlreadyHeld) {
    out << "Tidewell is open: close its window first, or update from its manage page.\n";
    return kUpdateFailed;
  }
  EnsureCurlGlobalInit();
  const UpdateCalls calls = Calls(out);
  UpdateReport report;
  if (FinishPendingUpdate(&report, calls)) {
    out << "An update of Tidewell was broken off; it is finished or rolled back first:\n";
    if (report.result != UpdateResult::Updated) return Finish(report, out);
    Finish(report, out);
  }
  const std::wstring folder = LoadInstallPath();
  CServiceState& state = GetServiceState();
  state.installFolder = folder;
  if (state.FetchRemoteConfig() != ConfigFetch::Applied) {
    out << "The vendor service did not answer: no update was looked for.\n";
    return kUpdateFailed;
  }
  const std::string installed = InstalledPackageVersion(nullptr);
  if (!UpdateOffered(state.packageVersion)) {
    out << "No update: the installed package is "
        << (installed.empty() ? std::string("of no named version") : "version " + installed)
        << (state.packageVersion.empty() ? std::string(", and the service names none.\n")
                                         : ", the service names " + state.packageVersion + ".\n");
    return kUpdateDone;
  }
  out << "Updating Tidewell's Ollama and Chatbox to package version " << state.packageVersion
      << ":\n";
  StepContext context;
  context.installation = Installation{MakeInstallLayout(folder), state.packageUrl,
                                      state.packageSha256, state.packageUrls, {},
                                      state.packageVersion};
  // Closing the user's chat window is theirs to allow.
  context.restartClient = [&in, &out] {
    out << "Chatbox is open: close it now and start it again after the update? [y/N] "
        << std::flush;
    std::string answer;
    std::getline(in, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
  };
  return Finish(UpdatePackage(context, calls), out);
}
