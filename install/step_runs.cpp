#include <install/step_runs.h>

#include <json/value.h>

#include <algorithm>
#include <filesystem>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <config/json_text.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/whole_file.h>

namespace {

namespace fs = std::filesystem;

// Beside the settings it goes with: the settings step, last, removes both.
fs::path MarkerFile() { return platform::OsPath(SettingsFolder()) / "uninstalling.json"; }

bool WriteMarker(const StepContext& context) {
  Json::Value marker;
  marker["installFolder"] = WideToUtf8(context.installation.layout.installFolder);
  marker["keepModels"] = context.keepModels;
  marker["removeChatSettings"] = context.removeChatSettings;
  std::string text;
  return WriteJson(marker, text) &&
         platform::CreatePrivateFolders(MarkerFile().parent_path()) == 0 &&
         platform::WriteFileAtomically(MarkerFile(), text) == 0;
}

// The marker's uninstall; false when there is none or it is not ours to
// trust (an install folder that is not an absolute path).
bool ReadMarker(StepContext& context) {
  std::string text;
  Json::Value marker;
  if (!platform::ReadWholeFileExact(MarkerFile(), text) || !ParseJson(text, marker) ||
      !marker.isObject() || !marker["installFolder"].isString()) {
    return false;
  }
  const std::wstring folder = Utf8ToWide(marker["installFolder"].asString());
  if (folder.empty() || !platform::OsPath(folder).is_absolute()) return false;
  context.installation.layout = MakeInstallLayout(folder);
  context.keepModels = marker["keepModels"].isBool() && marker["keepModels"].asBool();
  context.removeChatSettings =
      marker["removeChatSettings"].isBool() && marker["removeChatSettings"].asBool();
  return true;
}

std::wstring Line(const InstallStep& step, const std::wstring& text) {
  return ReportLine(step.Title(), text);
}

}  // namespace

UninstallReport UninstallEverything(const StepContext& context) {
  UninstallReport report;
  std::vector<std::wstring> folders = LoadInstallRecord().installFolders;
  const std::wstring& current = context.installation.layout.installFolder;
  if (!current.empty() && std::find(folders.begin(), folders.end(), current) == folders.end()) {
    folders.push_back(current);
  }
  // Without the marker a broken-off run could not be finished: then the
  // settings (which the marker would have gone with) stay too.
  const bool marked = WriteMarker(context);
  auto steps = MakeInstallSteps();
  std::reverse(steps.begin(), steps.end());
  for (const auto& step : steps) {
    // Our settings go last, and only after everything else went: a failed
    // step keeps the marker, so the next start tries again.
    if (std::string_view(step->Name()) == "settings" && (!report.ok || !marked)) {
      report.lines.push_back(Line(*step, TW_TR("InstallSteps", "保留（下次启动时继续卸载）")));
      report.ok = false;
      break;
    }
    if (context.beforeStep) context.beforeStep(step->Name());
    const bool perFolder = step->BelowInstallFolder();
    for (const std::wstring& folder : perFolder ? folders : std::vector<std::wstring>{current}) {
      StepContext each = context;
      if (perFolder) each.installation.layout = MakeInstallLayout(folder);
      const StepOutcome outcome = step->Undo(each);
      report.ok = report.ok && outcome.ok;
      // Where several folders were installed into, each line names its own.
      report.lines.push_back(Line(*step, perFolder && folders.size() > 1
                                             ? outcome.text + L"（" + folder + L"）"
                                             : outcome.text));
      report.leftBehind.insert(report.leftBehind.end(), outcome.leftBehind.begin(),
                               outcome.leftBehind.end());
    }
  }
  return report;
}

bool UninstallPending() {
  StepContext context;
  return ReadMarker(context);
}

void ClearPendingUninstall() {
  std::error_code ec;
  fs::remove(MarkerFile(), ec);
}

bool FinishPendingUninstall(UninstallReport* report, bool keepModels) {
  StepContext context;
  if (!ReadMarker(context)) return false;
  context.keepModels = context.keepModels || keepModels;
  UninstallReport finished = UninstallEverything(context);
  if (report != nullptr) *report = std::move(finished);
  return true;
}

std::vector<std::wstring> RepairInstallation(const StepContext& context, bool* allWell) {
  ClearPendingUninstall();
  std::vector<std::wstring> lines;
  bool well = true;
  auto steps = MakeInstallSteps();
  // Programs are installed anew from the package's setups: it is fetched
  // again only when one of them is missing.
  bool programMissing = false;
  for (const auto& step : steps) {
    const std::string_view name = step->Name();
    if ((name == "runner" || name == "client") && !step->Check(context).ok) programMissing = true;
  }
  for (const auto& step : steps) {
    if (context.beforeStep) context.beforeStep(step->Name());
    const StepOutcome found = step->Check(context);
    if (found.ok || (std::string_view(step->Name()) == "package" && !programMissing)) {
      lines.push_back(Line(*step, found.text));
      continue;
    }
    const StepOutcome done = step->Perform(context);
    well = well && done.ok;
    lines.push_back(Line(*step, found.text + L" → " + done.text));
  }
  if (allWell != nullptr) *allWell = well;
  return lines;
}
