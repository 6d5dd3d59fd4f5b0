#include <install/progress_text.h>

#include <base/text_helpers.h>
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

}  // namespace

std::string DurationText(long long seconds) {
  if (seconds < 60) return FormatString("%lld 秒", seconds);
  if (seconds < 3600) return FormatString("%lld 分 %lld 秒", seconds / 60, seconds % 60);
  return FormatString("%lld 小时 %lld 分", seconds / 3600, (seconds % 3600) / 60);
}

std::string PullProgressText(const std::string& tag, const PullProgress& progress) {
  std::string text;
  switch (progress.phase) {
    case PullPhase::StartingRunner:
      text = "正在启动模型运行程序，首次约需一分钟…";
      break;
    case PullPhase::Starting:
      text = "正在准备下载模型…";
      break;
    case PullPhase::Manifest:
      text = "正在获取模型信息…";
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
        text = Join(text, "剩余 " + DurationText(progress.secondsLeft));
      if (progress.stalled) text = Join(text, "下载停滞，仍在等待网络…");
      break;
    }
    case PullPhase::Verifying:
      text = "正在校验模型文件…";
      break;
    case PullPhase::WritingManifest:
      text = "正在写入模型清单…";
      break;
    case PullPhase::Success:
      text = "模型下载完成";
      break;
    case PullPhase::Error:
      // The runner's English never stands alone: the cause in our words.
      text = "下载失败：" + PullCauseWords(ClassifyPullText(progress.errorText));
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
      return "正在启动运行程序…";
    case PullPhase::Starting:
      return "正在准备下载…";
    case PullPhase::Manifest:
      return "正在获取模型信息…";
    case PullPhase::Pulling:
      if (progress.stalled) return "下载停滞，等待网络…";
      if (progress.totalBytes == 0) return FormatString("%d%%", progress.percent);
      return FormatByteSize(progress.doneBytes) + " / " + FormatByteSize(progress.totalBytes);
    case PullPhase::Verifying:
      return "正在校验模型文件…";
    case PullPhase::WritingManifest:
      return "正在写入模型清单…";
    case PullPhase::Success:
      return "模型下载完成";
    case PullPhase::Error:
      return "下载失败";
  }
  return std::string();
}

std::string PackageProgressText(long long done, long long total, double bytesPerSecond) {
  std::string text = total > 0 ? "已下载 " + Bytes(done) + " / " + Bytes(total)
                               : (done > 0 ? "已下载 " + Bytes(done) : std::string());
  if (bytesPerSecond >= 1) {
    text = Join(text, Bytes(static_cast<long long>(bytesPerSecond)) + "/s");
    if (total > done) {
      const auto left = static_cast<long long>(static_cast<double>(total - done) / bytesPerSecond);
      text = Join(text, "剩余约 " + DurationText(left));
    }
  }
  return text;
}
