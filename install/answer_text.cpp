#include <install/answer_text.h>

#include <cmath>
#include <cstdlib>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>

namespace {

constexpr char kContext[] = "FirstAnswer";

std::wstring Seconds(long long ms) {
  // Tenths under a minute, whole seconds after.
  if (ms < 60'000) return FormatWString(L"%.1f", static_cast<double>(ms) / 1000.0);
  return std::to_wstring((ms + 500) / 1000);
}

}  // namespace

std::wstring AnswerLoadingLine(long long waitedMs) {
  return FormatWString(TW_TR(kContext, "正在加载模型，第一次需要一些时间… %lld 秒").c_str(),
                       waitedMs / 1000);
}

std::wstring AnswerShortLine(const FirstAnswer& answer) {
  switch (answer.cause) {
    case FirstAnswerCause::Answered:
      return FormatWString(TW_TR(kContext, "首次回答用时 %ls 秒").c_str(),
                           Seconds(answer.firstTokenMs).c_str());
    case FirstAnswerCause::NotEnoughMemory:
      return TW_TR(kContext, "内存不足，暂时无法回答");
    case FirstAnswerCause::NotEnoughGraphicsMemory:
      return TW_TR(kContext, "显卡内存不足，暂时无法回答");
    case FirstAnswerCause::RunnerEnded:
      return TW_TR(kContext, "加载时运行程序退出，暂时无法回答");
    case FirstAnswerCause::NoAnswerInTime:
      return TW_TR(kContext, "加载超时，暂时无法回答");
    default:
      return TW_TR(kContext, "暂时无法回答");
  }
}

std::wstring AnswerFailureText(const FirstAnswer& answer, long limitMs) {
  switch (answer.cause) {
    case FirstAnswerCause::Answered:
      return {};
    case FirstAnswerCause::NotEnoughMemory:
      if (!answer.neededMemory.empty() && !answer.availableMemory.empty()) {
        return FormatWString(
            TW_TR(kContext,
                  "模型已下载，但本机可用内存不够运行它：它需要 %ls，现在只有 %ls 可用。"
                  "关闭一些程序后可以再试，或改用较小的模型。")
                .c_str(),
            Utf8ToWide(answer.neededMemory).c_str(), Utf8ToWide(answer.availableMemory).c_str());
      }
      return TW_TR(kContext,
                   "模型已下载，但本机可用内存不够运行它。关闭一些程序后可以再试，或改用较小的模型。");
    case FirstAnswerCause::NotEnoughGraphicsMemory:
      return TW_TR(kContext,
                   "模型已下载，但显卡内存不够，加载时失败。关闭占用显卡的程序后可以再试，或改用较小的模型。");
    case FirstAnswerCause::RunnerEnded:
      return TW_TR(kContext,
                   "模型已下载，但模型运行程序在加载模型时意外退出。可以在“管理”中修复后再试，"
                   "或改用较小的模型。");
    case FirstAnswerCause::NoAnswerInTime:
      return FormatWString(TW_TR(kContext,
                                 "模型已下载，但 %ld 秒内没有给出回答。本机可能太忙或内存不足；"
                                 "可以稍后再试，或改用较小的模型。")
                               .c_str(),
                           limitMs / 1000);
    case FirstAnswerCause::ModelMissing:
      return TW_TR(kContext, "模型运行程序里找不到这个模型，请重新下载。");
    case FirstAnswerCause::NoServer:
      return TW_TR(kContext, "模型运行程序没有响应，模型还不能回答。可以在“管理”中修复后再试。");
    default:
      return FormatWString(TW_TR(kContext, "模型已下载，但还不能回答：%ls").c_str(),
                           Utf8ToWide(answer.runnerText).c_str());
  }
}

std::uint64_t RunnerFigureBytes(const std::string& figure) {
  const char* text = figure.c_str();
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || !(value >= 0) || !std::isfinite(value)) return 0;
  std::string unit(end);
  while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
  double scale = 0;
  if (unit == "B") scale = 1;
  if (unit == "KiB") scale = 1024.0;
  if (unit == "MiB") scale = 1024.0 * 1024;
  if (unit == "GiB") scale = 1024.0 * 1024 * 1024;
  if (unit == "TiB") scale = 1024.0 * 1024 * 1024 * 1024;
  return static_cast<std::uint64_t>(value * scale);
}

int LargestModelThatFits(int failedListIndex, const FirstAnswer& answer) {
  if (answer.cause != FirstAnswerCause::NotEnoughMemory) return -1;
  const ModelEntry* failed = ModelEntryForListIndex(failedListIndex);
  const std::uint64_t needed = RunnerFigureBytes(answer.neededMemory);
  const std::uint64_t available = RunnerFigureBytes(answer.availableMemory);
  if (failed == nullptr || needed == 0 || available == 0 || failed->downloadBytes == 0) return -1;
  // The runner's need grows with the weights it loads: the failed model's
  // figure, scaled by size, estimates each smaller one.
  const double perByte = static_cast<double>(needed) / static_cast<double>(failed->downloadBytes);
  int best = -1;
  for (const ModelEntry& entry : ModelCatalogue()) {
    if (entry.downloadBytes >= failed->downloadBytes) continue;
    if (perByte * static_cast<double>(entry.downloadBytes) > static_cast<double>(available))
      continue;
    const ModelEntry* chosen = ModelEntryForListIndex(best);
    if (chosen == nullptr || entry.downloadBytes > chosen->downloadBytes) best = entry.listIndex;
  }
  return best;
}

const char* AnswerEventName(FirstAnswerCause cause) {
  switch (cause) {
    case FirstAnswerCause::Answered: return "FirstAnswerOk";
    case FirstAnswerCause::NotEnoughMemory: return "FirstAnswerNoMemory";
    case FirstAnswerCause::NotEnoughGraphicsMemory: return "FirstAnswerNoGraphicsMemory";
    case FirstAnswerCause::RunnerEnded: return "FirstAnswerRunnerEnded";
    case FirstAnswerCause::NoAnswerInTime: return "FirstAnswerTimeout";
    default: return "FirstAnswerFails";
  }
}
