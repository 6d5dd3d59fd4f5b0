// A model's first answer after its pull: asked of our runner on the pull's
// worker, with the time passing shown, then the outcome on the ready page
// or in the model's row, and reported.
#include <install/install_engine.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/answer_text.h>
#include <install/runner_server.h>

namespace {

const ModelEntry* EntryOfTag(const std::string& tag) {
  const std::string number = CatalogueNumberOfTag(tag);
  return number.empty() ? nullptr : ModelEntryForListIndex(std::stoi(number) - 1);
}

}  // namespace

long CInstallEngine::AnswerLimitMs(const std::string& tag) const {
  if (pullOptions.firstAnswerLimitMs > 0) return pullOptions.firstAnswerLimitMs;
  const ModelEntry* entry = EntryOfTag(tag);
  return FirstAnswerLimitMs(entry != nullptr ? entry->downloadBytes : 0);
}

FirstAnswer CInstallEngine::CheckFirstAnswer(int row, const std::string& tag,
                                             Action::IAction* action,
                                             const InstallLayout& layout) {
  Step("first answer");
  auto show = [&](const AnswerShown& shown) {
    OnWindow(action, [&] { ShowAnswer(row, shown); });
  };
  show({AnswerPhase::Loading, AnswerLoadingLine(0), {}});
  const long limitMs = AnswerLimitMs(tag);
  FirstAnswer answer;
  answer.cause = FirstAnswerCause::NoServer;
  // The pull has just used our server; this finds it again (or starts it
  // after a repair).
  if (EnsureRunnerServer(layout, {}, pullOptions.serverTimeoutMs) == RunnerServerState::Ready) {
    FirstAnswerOptions options;
    options.limitMs = limitMs;
    options.onTick = [&](long long waitedMs) {
      show({AnswerPhase::Loading, AnswerLoadingLine(waitedMs), {}});
      return !action->IsCancelled();
    };
    answer = AskFirstAnswer(RunnerServerAddress(), tag, options);
  }
  ReportEvent(AnswerEventName(answer.cause), true);
  const bool answered = answer.cause == FirstAnswerCause::Answered;
  show({answered ? AnswerPhase::Answered : AnswerPhase::Failed, AnswerShortLine(answer),
        AnswerFailureText(answer, limitMs)});
  return answer;
}

void CInstallEngine::ShowAnswer(int row, const AnswerShown& shown) {
  if (row == 0) {
    m_state.answer = shown;
  } else {
    m_state.row(row).answer = shown;
  }
  Publish();
}

void CInstallEngine::OfferWayOut(const std::string& tag, const FirstAnswer& answer) {
  const std::wstring text = AnswerFailureText(answer, AnswerLimitMs(tag));
  const std::wstring caption = TW_TR("InstallEngine", "提示");
  const ModelEntry* failed = EntryOfTag(tag);
  const int smaller = failed != nullptr ? LargestModelThatFits(failed->listIndex, answer) : -1;
  const ModelEntry* offered = ModelEntryForListIndex(smaller);
  if (offered == nullptr) {
    ShowMessage(text, caption);
    return;
  }
  const std::wstring question =
      FormatWString(TW_TR("InstallEngine", "要现在下载本机可以运行的 %ls（%ls）吗？").c_str(),
                    std::wstring(offered->tag).c_str(), std::wstring(offered->sizeText).c_str());
  if (AskToContinue(text + L"\n\n" + question, caption)) OnModelRowDownloadClick(offered->row);
}
