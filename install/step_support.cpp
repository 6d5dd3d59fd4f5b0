// What the install steps share: outcomes, filled-in words, removing what is ours.
#include <install/step_support.h>

#include <filesystem>
#include <utility>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/owned_files.h>
#include <platform/os_encoding.h>
#include <platform/tree_removal.h>

namespace install_step {

namespace {

namespace fs = std::filesystem;

StepOutcome Outcome(bool ok, std::wstring text) {
  StepOutcome outcome;
  outcome.ok = ok;
  outcome.text = std::move(text);
  return outcome;
}

}  // namespace

std::wstring Fill(const std::wstring& format, const std::wstring& piece) {
  return FormatWString(format.c_str(), piece.c_str());
}

StepOutcome Done(std::wstring text) { return Outcome(true, std::move(text)); }
StepOutcome Failed(std::wstring text) { return Outcome(false, std::move(text)); }

bool Exists(const std::wstring& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(platform::OsPath(path), ec));
}

StepOutcome RemoveRecordedFolder(const std::wstring& path) {
  const Removal removal = RemoveRecorded(path);
  StepOutcome outcome = Done(removal.left.empty() ? TW_TR("InstallSteps", "已删除")
                             : removal.removedAnything
                                 ? TW_TR("InstallSteps", "已删除本程序创建的内容，其余保留")
                                 : TW_TR("InstallSteps", "不是本程序创建的，保留"));
  outcome.ok = removal.ok;
  if (!removal.ok) outcome.text = Fill(TW_TR("InstallSteps", "未能全部删除：%ls"), path);
  outcome.leftBehind = removal.left;
  return outcome;
}

StepOutcome RemoveOurFolder(const std::wstring& path, std::wstring removed) {
  if (platform::RemoveTree(platform::OsPath(path))) return Done(std::move(removed));
  StepOutcome outcome = Failed(Fill(TW_TR("InstallSteps", "未能全部删除：%ls"), path));
  outcome.leftBehind.push_back(path);
  return outcome;
}

}  // namespace install_step
