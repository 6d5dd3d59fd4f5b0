#include <install/pull_failure.h>

#include <array>
#include <string_view>

#include <base/text_helpers.h>
#include <base/translate.h>

namespace {

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// What the runner (Go's network stack) says when the download broke off.
constexpr std::array<std::string_view, 12> kNetworkMarks = {"dial tcp",
                                                            "connection refused",
                                                            "connection reset",
                                                            "i/o timeout",
                                                            "timeout",
                                                            "no such host",
                                                            "unexpected EOF",
                                                            "max retries exceeded",
                                                            "network is unreachable",
                                                            "TLS handshake",
                                                            "digest mismatch",
                                                            "EOF"};

}  // namespace

PullCause ClassifyPull(const PullResult& result) {
  switch (result.failure) {
    case PullFailure::None:
    case PullFailure::Connection:  // our local connection: nothing more to say
      return PullCause::Unknown;
    case PullFailure::NoRunner:
      return PullCause::NoRunner;
    case PullFailure::ServerNotAnswering:
      return PullCause::ServerNotAnswering;
    case PullFailure::InvalidTag:
      return PullCause::RunnerError;
    case PullFailure::Runner:
      break;
  }
  const PullCause cause = ClassifyPullText(result.progress.errorText);
  // Only the runner's own words end up here.
  return cause == PullCause::NoRunner || cause == PullCause::ServerNotAnswering
             ? PullCause::RunnerError
             : cause;
}

PullCause ClassifyPullText(const std::string& text) {
  if (text == kPullNoRunnerText) return PullCause::NoRunner;
  if (text == kPullServerSilentText) return PullCause::ServerNotAnswering;
  if (Contains(text, "no space left on device") || Contains(text, "disk quota exceeded")) {
    return PullCause::DiskFull;
  }
  if (Contains(text, "file does not exist")) return PullCause::ModelNotFound;
  for (const std::string_view mark : kNetworkMarks) {
    if (Contains(text, mark)) return PullCause::Network;
  }
  return text.empty() ? PullCause::Unknown : PullCause::RunnerError;
}

std::wstring PullFailureMessage(PullCause cause, const std::string& runnerText) {
  switch (cause) {
    case PullCause::Network:
    case PullCause::Unknown:
      return std::wstring();
    case PullCause::DiskFull:
      return TW_TR("PullFailure",
                   "安装位置所在的磁盘已满，模型没有下载完成。\n"
                   "请清理出足够的空间，或换一个空间足够的安装位置，然后重新点击安装。");
    case PullCause::NoRunner:
      return TW_TR("PullFailure",
                   "模型运行程序没有安装成功，模型无法下载。\n"
                   "请重新点击安装；如果仍然失败，请联系客服。");
    case PullCause::ServerNotAnswering:
      return TW_TR("PullFailure",
                   "模型运行程序启动后一直没有响应，模型未能下载。\n"
                   "请重启电脑后再打开本软件点击安装；如果仍然不行，请联系客服。");
    case PullCause::ModelNotFound:
      return TW_TR("PullFailure", "模型仓库中找不到所选的模型，模型无法下载。\n请联系客服。");
    case PullCause::RunnerError:
      return FormatWString(TW_TR("PullFailure",
                                 "模型运行程序报告了错误，模型没有下载完成（%ls）。\n"
                                 "请重新点击安装；如果仍然失败，请联系客服。")
                               .c_str(),
                           Utf8ToWide(runnerText).c_str());
  }
  return std::wstring();
}

std::string PullCauseWords(PullCause cause) {
  switch (cause) {
    case PullCause::Network:
      return TW_TR8("PullFailure", "网络中断");
    case PullCause::Unknown:
      return TW_TR8("PullFailure", "原因不明");
    case PullCause::DiskFull:
      return TW_TR8("PullFailure", "磁盘已满");
    case PullCause::NoRunner:
      return TW_TR8("PullFailure", "运行程序未安装");
    case PullCause::ServerNotAnswering:
      return TW_TR8("PullFailure", "运行程序没有响应");
    case PullCause::ModelNotFound:
      return TW_TR8("PullFailure", "找不到该模型");
    case PullCause::RunnerError:
      return TW_TR8("PullFailure", "运行程序出错");
  }
  return TW_TR8("PullFailure", "原因不明");
}

std::string PullRowFailureText(PullCause cause) {
  std::string next;
  switch (cause) {
    case PullCause::Network:
    case PullCause::Unknown:
      next = TW_TR8("PullFailure", "请检查网络后再点下载");
      break;
    case PullCause::DiskFull:
      next = TW_TR8("PullFailure", "请清理磁盘后再点下载");
      break;
    case PullCause::NoRunner:
      next = TW_TR8("PullFailure", "请先重新安装");
      break;
    case PullCause::ServerNotAnswering:
      next = TW_TR8("PullFailure", "请重启电脑后再试");
      break;
    case PullCause::ModelNotFound:
      next = TW_TR8("PullFailure", "请联系客服");
      break;
    case PullCause::RunnerError:
      next = TW_TR8("PullFailure", "请再点下载，仍失败请联系客服");
      break;
  }
  return WideToUtf8(FormatWString(TW_TR("PullFailure", "下载失败（%ls），%ls").c_str(),
                                  Utf8ToWide(PullCauseWords(cause)).c_str(),
                                  Utf8ToWide(next).c_str()));
}

std::wstring PullCauseLine(PullCause cause) {
  const PullCause named = cause == PullCause::Unknown ? PullCause::Network : cause;
  return FormatWString(TW_TR("PullFailure", "模型下载失败（%ls），请再次点击安装。").c_str(),
                       Utf8ToWide(PullCauseWords(named)).c_str());
}
