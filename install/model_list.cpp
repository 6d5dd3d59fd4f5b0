// The model list: a row's download button, its pull on a worker (several
// rows pull at once), and what the row shows meanwhile and after.
#include <install/install_engine.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/answer_text.h>
#include <install/model_fit.h>
#include <install/progress_text.h>
#include <install/pull_failure.h>
#include <install/space_text.h>
#include <platform/disk_space.h>
#include <platform/os_info.h>
#include <service/service_state.h>

void CInstallEngine::OnModelRowDownloadClick(int row) {
  if (ManageWorkBlocks()) return;
  SetRowCause(row, L"");
  m_state.row(row).answer = {};
  if (!ConfirmRowPullFits(row)) return;
  m_activeModelRow = row;
  ShowModelRowProgress(row, false);
  StartOtherModelDownload();
}

void CInstallEngine::StartOtherModelDownload() {
  const int row = m_activeModelRow;
  const std::wstring tag = ModelTagForRow(row);
  StartAction([this, tag, row, layout = CurrentInstallLayout()](
                  Action::IAction* action) { return OtherModelTask(tag, row, action, layout); },
              [this, row] {
                m_state.row(row).cause = Utf8ToWide(PullRowFailureText(PullCause::Unknown));
                ShowModelRowProgress(row, true);
              });
}

bool CInstallEngine::ConfirmRowPullFits(int row) {
  // The list pulls into the same store: its disk and this machine's memory.
  const int index = row - 1;
  std::wstring text;
  const std::uint64_t size = RequiredBytesForListIndex(index);
  const auto free = platform::FreeDiskSpace(CurrentInstallLayout().modelStore);
  if (free && size > *free) {
    text +=
        FormatWString(TW_TR("InstallEngine",
                            "这个模型约需 %ls 磁盘空间，安装位置只有 %ls 可用，下载会中途失败。\n")
                          .c_str(),
                      SizeTextForListIndex(index).c_str(), FormatFreeSpace(*free).c_str());
  }
  const std::uint64_t memory = platform::TotalMemoryBytes();
  const std::uint64_t needed = RequiredMemoryForListIndex(index);
  if (memory != 0 && needed != 0 && !MemoryIsEnough(memory, needed) &&
      !GraphicsCardHolds(index)) {
    text += FormatWString(
        TW_TR("InstallEngine",
              "这个模型建议内存 %ls 以上，本机只有 %ls，下载后会运行得很慢或无法运行。\n")
            .c_str(),
        FormatFreeSpace(needed).c_str(), FormatFreeSpace(memory).c_str());
  }
  if (text.empty()) return true;
  return AskToContinue(text + TW_TR("InstallEngine", "仍要下载吗？"), TW_TR("InstallEngine", "提示"));
}

int CInstallEngine::OtherModelTask(const std::wstring& tag, int row, Action::IAction* action,
                                   const InstallLayout& layout) {
  Step("list pull");
  const PullResult pull = PullModel(tag, row, action, layout);
  // Each row is judged by its own model: several may be pulling at once.
  const std::string utf8Tag = WideToUtf8(tag);
  const bool downloaded = RunnerListsModel(utf8Tag, layout, pullOptions.serverTimeoutMs);
  const std::string number = ModelIndexOf(tag);
  FirstAnswer answer;
  if (downloaded) {
    GetServiceState().rememberedModelIndex = number;
    ConfigureChatClient(utf8Tag, action, layout);
    answer = CheckFirstAnswer(row, utf8Tag, action, layout);
  }
  const bool answered = answer.cause == FirstAnswerCause::Answered;
  // A failed row says why in its own line, until its next click.
  std::wstring cause;
  if (!downloaded) cause = Utf8ToWide(PullRowFailureText(ClassifyPull(pull)));
  if (downloaded && !answered) cause = AnswerShortLine(answer);
  OnWindow(action, [&] {
    m_state.row(row).cause = cause;
    ShowModelRowProgress(row, true);
    if (!downloaded) return;
    // The ready page speaks of the model pulled last.
    m_state.answer = m_state.row(row).answer;
    m_answerNumber = number;
    ShowDownloadedModel(number);
    if (!answered) OfferWayOut(utf8Tag, answer);
  });
  return 0;
}

void CInstallEngine::ShowModelRowProgress(int row, bool idle) {
  m_state.row(row).pulling = !idle;
  Publish();
}
