// A model's first answer after its pull: asked of our runner on the pull's
// worker, with the time passing shown, then the outcome on the ready page
// or in the model's row, and reported.
#include <install/answer_check.h>

#include <install/install_engine.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/answer_text.h>
#include <install/runner_server.h>
#include <service/service_state.h>

namespace {

const ModelEntry* EntryOfTag(const std::string& tag) {
  const std::string number = CatalogueNumberOfTag(tag);
  return number.empty() ? nullptr : ModelEntryForListIndex(std::stoi(number) - 1);
}

}  // namespace

std::string ModelToCheck(const std::vector<std::string>& listed) {
  const std::string remembered =
      WideToUtf8(ModelTagForNumber(GetServiceState().rememberedModelIndex.get()));
  for (const std::string& name : listed) {
    if (name == remembered) return name;
  }
  for (const std::string& name : listed) {
    if (!CatalogueNumberOfTag(name).empty()) return name;
  }
  return listed.empty() ? std::string() : listed.front();
}

long AnswerLimitForTag(const std::string& tag) {
  const ModelEntry* entry = EntryOfTag(tag);
  return FirstAnswerLimitMs(entry != nullptr ? entry->downloadBytes : 0);
}

FirstAnswer AskOurRunner(const InstallLayout& layout, const std::string& tag, int serverTimeoutMs,
                         long limitMs, const std::function<bool(long long waitedMs)>& onTick) {
  // Usually our server has just served a pull; after a repair or an update
  // it may have to start.
  if (EnsureRunnerServer(layout, {}, serverTimeoutMs) != RunnerServerState::Ready) {
    FirstAnswer answer;
    answer.cause = FirstAnswerCause::NoServer;
    return answer;
  }
  FirstAnswerOptions options;
  options.limitMs = limitMs;
  options.onTick = onTick;
  return AskFirstAnswer(RunnerServerAddress(), tag, options);
}

long CInstallEngine::AnswerLimitMs(const std::string& tag) const {
  if (pullOptions.firstAnswerLimitMs > 0) return pullOptions.firstAnswerLimitMs;
  return AnswerLimitForTag(tag);
}

FirstAnswer CInstallEngine::CheckFirstAnswer(int row, const std::string& tag,
                                             Action::IAction* action,
                                             const InstallLayout& layout) {
  Step("first answer");
  const std::string number = CatalogueNumberOfTag(tag);
  auto show = [&](const AnswerShown& shown) {
    OnWindow(action, [&] { ShowAnswer(row, number, shown); });
  };
  show({AnswerPhase::Loading, AnswerLoadingLine(0), {}});
  const long limitMs = AnswerLimitMs(tag);
  const FirstAnswer answer =
      AskOurRunner(layout, tag, pullOptions.serverTimeoutMs, limitMs, [&](long long waitedMs) {
        show({AnswerPhase::Loading, AnswerLoadingLine(waitedMs), {}});
        return !action->IsCancelled();
      });
  ReportEvent(AnswerEventName(answer.cause), true);
  const bool answered = answer.cause == FirstAnswerCause::Answered;
  show({answered ? AnswerPhase::Answered : AnswerPhase::Failed, AnswerShortLine(answer),
        AnswerFailureText(answer, limitMs)});
  return answer;
}

void CInstallEngine::ShowAnswer(int row, const std::string& number, const AnswerShown& shown) {
  if (row == 0) {
    m_state.answer = shown;
    m_answerNumber = number;
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
