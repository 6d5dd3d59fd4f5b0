#include <install/progress_text.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/pull_failure.h>

namespace {

// Between the parts of a progress text; narrow, so a whole line fits.
constexpr std::string_view kProgressSeparator = " · ";

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + std::string(kProgressSeparator) + b;
}

std::string Bytes(long long bytes) {
  return FormatByteSize(bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0);
}

// A translated format with one UTF-8 piece in its place.
std::string Fill(const std::wstring& format, const std::string& piece) {
  return WideToUtf8(FormatWString(format.c_str(), Utf8ToWide(piece).c_str()));
}

}  // namespace

std::string DurationText(long long seconds) {
  if (seconds < 60)
    return WideToUtf8(FormatWString(TW_TR("ProgressText", "%lld 秒").c_str(), seconds));
  if (seconds < 3600) {
    return WideToUtf8(FormatWString(TW_TR("ProgressText", "%lld 分 %lld 秒").c_str(), seconds / 60,
                                    seconds % 60));
  }
  return WideToUtf8(FormatWString(TW_TR("ProgressText", "%lld 小时 %lld 分").c_str(),
                                  seconds / 3600, (seconds % 3600) / 60));
}

std::string PullProgressText(const std::string& tag, const PullProgress& progress) {
  std::string text;
  switch (progress.phase) {
    case PullPhase::StartingRunner:
      text = TW_TR8("ProgressText", "正在启动模型运行程序，首次约需一分钟…");
      break;
    case PullPhase::Starting:
      text = TW_TR8("ProgressText", "正在准备下载模型…");
      break;
    case PullPhase::Manifest:
      text = TW_TR8("ProgressText", "正在获取模型信息…");
      break;
    case PullPhase::Pulling: {
      text = FormatString("%d%%", progress.percent);
      if (progress.totalBytes > 0) {
        text = Join(
            text, FormatByteSize(progress.doneBytes) + " / " + FormatByteSize(progress.totalBytes));
      }
      if (progress.bytesPerSecond > 0) {
        text = Join(text, FormatByteSize(progress.bytesPerSecond) + "/s");
      }
      if (progress.secondsLeft >= 0)
        text =
            Join(text, Fill(TW_TR("ProgressText", "剩余 %ls"), DurationText(progress.secondsLeft)));
      if (progress.stalled) text = Join(text, TW_TR8("ProgressText", "下载停滞，仍在等待网络…"));
      break;
    }
    case PullPhase::Verifying:
      text = TW_TR8("ProgressText", "正在校验模型文件…");
      break;
    case PullPhase::WritingManifest:
      text = TW_TR8("ProgressText", "正在写入模型清单…");
      break;
    case PullPhase::Success:
      text = TW_TR8("ProgressText", "模型下载完成");
      break;
    case PullPhase::Error:
      // The runner's English never stands alone: the cause in our words.
      text = Fill(TW_TR("ProgressText", "下载失败：%ls"),
                  PullCauseWords(ClassifyPullText(progress.errorText)));
      break;
  }
  // While bytes come the line is full of figures: the model is named in the
  // list above it, and the time left must not be cut off.
  if (tag.empty() || progress.phase == PullPhase::Pulling) return text;
  return tag + "  " + text;
}

std::string PullRowProgressText(const PullProgress& progress) {
  switch (progress.phase) {
    case PullPhase::StartingRunner:
      return TW_TR8("ProgressText", "正在启动运行程序…");
    case PullPhase::Starting:
      return TW_TR8("ProgressText", "正在准备下载…");
    case PullPhase::Manifest:
      return TW_TR8("ProgressText", "正在获取模型信息…");
    case PullPhase::Pulling:
      if (progress.stalled) return TW_TR8("ProgressText", "下载停滞，等待网络…");
      if (progress.totalBytes == 0) return FormatString("%d%%", progress.percent);
      return FormatByteSize(progress.doneBytes) + " / " + FormatByteSize(progress.totalBytes);
    case PullPhase::Verifying:
      return TW_TR8("ProgressText", "正在校验模型文件…");
    case PullPhase::WritingManifest:
      return TW_TR8("ProgressText", "正在写入模型清单…");
    case PullPhase::Success:
      return TW_TR8("ProgressText", "模型下载完成");
    case PullPhase::Error:
      return TW_TR8("ProgressText", "下载失败");
  }
  return std::string();
}

std::string PackageProgressText(long long done, long long total, double bytesPerSecond) {
  std::string text =
      total > 0
          ? Fill(TW_TR("ProgressText", "已下载 %ls"), Bytes(done) + " / " + Bytes(total))
          : (done > 0 ? Fill(TW_TR("ProgressText", "已下载 %ls"), Bytes(done)) : std::string());
  if (bytesPerSecond >= 1) {
    text = Join(text, Bytes(static_cast<long long>(bytesPerSecond)) + "/s");
    if (total > done) {
      const auto left = static_cast<long long>(static_cast<double>(total - done) / bytesPerSecond);
      text = Join(text, Fill(TW_TR("ProgressText", "剩余约 %ls"), DurationText(left)));
    }
  }
  return text;
}
