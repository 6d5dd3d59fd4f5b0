// Many actions at once, with parking, cancelling from workers and windows
// that close: every completion arrives exactly once, on the window thread,
// and nothing deadlocks. Meant to run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <random>

#include <tests/support/gate.h>
#include <work/action_factory.h>
#include <work/plain_notify_center.h>

namespace {

using Action::CActionBase;
using Action::CActionFactory;

struct Owner : Action::CActionRegister<Owner> {};

TEST(ActionStress, EveryCompletionArrivesOnceOnTheWindowThread) {
  constexpr int kRounds = 20;
  constexpr int kActionsPerRound = 100;
  CPlainNotifyCenter center;
  CThreadModule module(12);
  CActionFactory factory;
  std::unique_ptr<Owner> owner;
  center.RunOnUISync([&] { owner = std::make_unique<Owner>(); });

  for (int round = 0; round < kRounds; ++round) {
    std::atomic<int> completions{0};
    std::atomic<int> wrongThread{0};
    std::atomic<int> tasksRun{0};
    std::atomic<int> cancelled{0};
    std::vector<CActionBase*> kept;
    kept.reserve(kActionsPerRound);  // tasks read earlier entries while the window appends
    center.RunOnUISync([&] {
      for (int i = 0; i < kActionsPerRound; ++i) {
        auto* action = new CActionBase(owner.get());
        action->SetCallback([&](int result) {
          if (!center.IsWindowThread()) ++wrongThread;
          if (result == -7) ++cancelled;
          ++completions;
        });
        action->AddRef();
        kept.push_back(action);
        action->Run(
            [&, action, i] {
              ++tasksRun;
              // Talk to the window, and cancel an earlier (maybe parked) one.
              action->RunOnUI([] { return 0; });
              if (i > 0 && i % 5 == 0) kept[static_cast<std::size_t>(i - 3)]->Cancel(-7);
              std::this_thread::sleep_for(std::chrono::microseconds(200));
              return i;
            },
            i % 7 == 0);
        action->Release();
      }
    });
    ASSERT_TRUE(Eventually([&] { return completions == kActionsPerRound; }))
        << "completions " << completions << " tasks " << tasksRun;
    EXPECT_EQ(wrongThread, 0);
    EXPECT_EQ(tasksRun + cancelled, kActionsPerRound);
    for (CActionBase* action : kept) EXPECT_TRUE(action->Wait(10000));
  }
  module.stop();
  center.RunOnUISync([&] { owner.reset(); });
}

TEST(ActionStress, WindowParkingWhileWorkersCancelNeverDeadlocks) {
  // A worker cancels a parked action (its completion goes to the window)
  // while the window thread parks more actions (taking the factory lock).
  CPlainNotifyCenter center;
  CThreadModule module(2);
  CActionFactory factory;
  std::unique_ptr<Owner> owner;
  center.RunOnUISync([&] { owner = std::make_unique<Owner>(); });
  for (int round = 0; round < 200; ++round) {
    Gate release;
    std::atomic<int> blocked{0};
    for (int i = 0; i < 2; ++i) {
      center.RunOnUISync([&] {
        auto* blocker = new CActionBase(owner.get());
        blocker->Run(
            [&] {
              ++blocked;
              release.Wait();
              return 0;
            },
            false);
        blocker->Release();
      });
    }
    ASSERT_TRUE(Eventually([&] { return blocked == 2; }));
    std::vector<CActionBase*> parked;
    center.RunOnUISync([&] {
      for (int i = 0; i < 4; ++i) {
        auto* action = new CActionBase(owner.get());
        action->SetCallback([](int) {});
        action->AddRef();
        action->Run([] { return 1; }, false);
        action->Release();
        parked.push_back(action);
      }
    });
    std::thread canceller([&] {
      for (CActionBase* action : parked) action->Cancel(-1);
    });
    center.RunOnUISync([&] {
      for (int i = 0; i < 4; ++i) {
        auto* action = new CActionBase(owner.get());
        action->Run([] { return 2; }, i % 2 == 0);
        action->Release();
      }
    });
    canceller.join();
    release.Open();
    for (CActionBase* action : parked) ASSERT_TRUE(action->Wait(10000));
  }
  module.stop();
  center.RunOnUISync([&] { owner.reset(); });
}

}  // namespace
