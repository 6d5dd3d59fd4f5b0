// The model answers once before the ready page says it is there: each
// outcome the runner can give, as the window shows it, with the way out.
#include <tests/integration/install_workflow_fixture.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace {

using namespace workflow;

struct AnswerCase {
  const char* name;
  int model;                  // the list index installed
  const char* freeMemory;     // the runner's free memory; empty: plenty
  const char* dieWhileLoading;
  const char* loadMs;
  AnswerPhase phase;
  const wchar_t* line;        // the ready page's words
  const wchar_t* box;         // the box's words; empty: no box
  const wchar_t* offered;     // the smaller model offered; empty: none
  const char* event;
  long limitMs = 0;           // the first answer's limit; 0: by the model's size
  // A loading line that must have shown: the seconds counted while it loaded.
  const wchar_t* waited = L"正在加载模型，第一次需要一些时间… 0 秒";
};

// Logs name the case, not its bytes.
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

bool Has(const std::wstring& text, const wchar_t* part) {
  return text.find(part) != std::wstring::npos;
}

class FirstAnswerWorkflow : public InstallWorkflow,
                            public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FirstAnswerWorkflow, TheReadyPageSaysWhetherTheModelAnswered) {
  const AnswerCase& c = GetParam();
  if (*c.freeMemory != '\0') SetVariable("TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES", c.freeMemory);
  SetVariable("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING", c.dieWhileLoading);
  SetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS", c.loadMs);
  const std::string tag = c.model == 0 ? "deepseek-r1:1.5b" : "deepseek-r1:7b";
  harness_->OnUI([&] {
    harness_->view().selectedModel = c.model;
    // The offered model is not taken here: the store keeps what it had.
    harness_->view().answerContinue = false;
    harness_->engine().pullOptions.firstAnswerLimitMs = c.limitMs;
  });
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView& v) {
    return !harness_->engine().WorkRunning() && (*c.box == L'\0' || !v.messages.empty() ||
                                                 !v.questions.empty());
  })) << Describe();
  harness_->OnUI([&] {
    const RecordingView& v = harness_->view();
    EXPECT_EQ(v.state.answer.phase, c.phase) << Narrow(v.state.answer.line);
    EXPECT_TRUE(Has(v.state.answer.line, c.line)) << Narrow(v.state.answer.line);
    // While it loaded, the time passing was shown, from the start.
    ASSERT_FALSE(v.answerLines.empty());
    EXPECT_TRUE(Has(v.answerLines.front(), L"正在加载模型，第一次需要一些时间… 0 秒"));
    EXPECT_TRUE(std::any_of(v.answerLines.begin(), v.answerLines.end(),
                            [&](const std::wstring& line) { return line == c.waited; }))
        << Narrow(c.waited);
    // A named failure is a box; with a smaller model to offer, a question.
    const bool offers = *c.offered != L'\0';
    const std::vector<std::wstring>& boxes = offers ? v.questions : v.messages;
    EXPECT_TRUE((offers ? v.messages : v.questions).empty());
    ASSERT_EQ(boxes.size(), *c.box == L'\0' ? 0u : 1u);
    if (boxes.empty()) return;
    EXPECT_TRUE(Has(boxes[0], c.box)) << Narrow(boxes[0]);
    EXPECT_EQ(Has(boxes[0], L"要现在下载本机可以运行的"), offers) << Narrow(boxes[0]);
    if (offers) {
      EXPECT_TRUE(Has(boxes[0], c.offered)) << Narrow(boxes[0]);
    }
  });
  // Whatever the answer, the model stays.
  EXPECT_TRUE(StoreHas(tag));
  const std::vector<std::string> events = Events();
  EXPECT_EQ(events.back(), std::string(c.event) + "Deepseek");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FirstAnswerWorkflow,
    ::testing::Values(
        AnswerCase{"EnoughMemory", 0, "", "0", "50", AnswerPhase::Answered, L"首次回答用时 ", L"",
                   L"", "FirstAnswerOk"},
        // The runner needs its weights and a working set: 100 MiB is too little.
        AnswerCase{"TooLittleMemoryForTheSmallest", 0, "104857600", "0", "50",
                   AnswerPhase::Failed, L"内存不足", L"现在只有 100.0 MiB 可用", L"",
                   "FirstAnswerNoMemory"},
        AnswerCase{"TooLittleMemoryOffersASmallerOne", 1, "209715200", "0", "50",
                   AnswerPhase::Failed, L"内存不足", L"现在只有 200.0 MiB 可用",
                   L"deepseek-r1:1.5b", "FirstAnswerNoMemory"},
        AnswerCase{"RunnerEndsWhileLoading", 0, "", "1", "50", AnswerPhase::Failed,
                   L"加载时运行程序退出", L"意外退出", L"", "FirstAnswerRunnerEnded"},
        // A slow first load is waited for, its seconds shown, and not failed.
        AnswerCase{"NoAnswerWithinTheLimit", 0, "", "0", "5000", AnswerPhase::Failed,
                   L"加载超时", L"1 秒内没有给出回答", L"", "FirstAnswerTimeout", 1000},
        AnswerCase{"SlowFirstLoad", 0, "", "0", "2600", AnswerPhase::Answered, L"首次回答用时 ",
                   L"", L"", "FirstAnswerOk", 0, L"正在加载模型，第一次需要一些时间… 1 秒"}),
    [](const ::testing::TestParamInfo<AnswerCase>& each) { return std::string(each.param.name); });

// A model that could not answer: the client is not opened without asking,
// and not at all when the user declines.
TEST_F(InstallWorkflow, TryNowAsksFirstWhenTheModelCouldNotAnswer) {
  SetVariable("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING", "1");
  harness_->OnUI([&] { harness_->view().answerContinue = false; });
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView& v) { return !v.messages.empty(); }));
  harness_->OnUI([&] { harness_->engine().TryNow(); });
  harness_->OnUI([&] {
    const RecordingView& v = harness_->view();
    ASSERT_EQ(v.questions.size(), 1u);
    EXPECT_TRUE(Has(v.questions[0], L"仍要打开吗？"));
    EXPECT_FALSE(v.state.tryNowBusy);  // nothing was started
  });
  // Its model removed, the ready page shows another one, never asked: the
  // failure was not that one's.
  harness_->OnUI([&] {
    harness_->engine().ShowInstalledModels({"deepseek-r1:7b"});
    EXPECT_EQ(harness_->view().state.readyModel, L"已下载 deepseek-r1:7b");
    EXPECT_EQ(harness_->view().state.answer.phase, AnswerPhase::NotAsked);
  });
}

// A row's pull is checked the same way, and the row names the failure.
TEST_F(InstallWorkflow, AModelListPullNamesItsFailedAnswerInItsRow) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  SetVariable("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING", "1");
  StopStartedRunnerServer();  // the next one reads the variable
  harness_->OnUI([&] {
    harness_->view().answerContinue = false;
    harness_->engine().OnModelRowDownloadClick(2);
  });
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView& v) {
    return !harness_->engine().WorkRunning() && !v.messages.empty();
  })) << Describe();
  harness_->OnUI([&] {
    const RecordingView& v = harness_->view();
    EXPECT_EQ(v.Row(2).answer.phase, AnswerPhase::Failed);
    EXPECT_TRUE(Has(v.Row(2).cause, L"加载时运行程序退出")) << Narrow(v.Row(2).cause);
    EXPECT_TRUE(v.Row(2).installed);
    EXPECT_EQ(v.state.answer.phase, AnswerPhase::Failed);  // the ready page speaks of it
  });
  EXPECT_TRUE(StoreHas("deepseek-r1:7b"));
}

}  // namespace
