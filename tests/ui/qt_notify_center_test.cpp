#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <thread>

#include <tests/support/gate.h>
#include <ui/qt_notify_center.h>
#include <work/action_factory.h>

namespace {

// Spins the window thread's event loop until cond holds or time runs out.
template <typename Cond>
bool PumpUntil(Cond cond, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!cond() && timer.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return cond();
}

TEST(QtNotifyCenter, RunsOnTheWindowThreadSyncAndAsyncInOrder) {
  CQtNotifyCenter center;
  EXPECT_TRUE(center.IsWindowThread());
  bool direct = false;
  center.RunOnUISync([&] { direct = true; });  // on the window thread: at once
  EXPECT_TRUE(direct);

  std::atomic<bool> syncOnWindow{false};
  std::atomic<bool> syncReturned{false};
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) center.RunOnUIAsync([&order, i] { order.push_back(i); });
    center.RunOnUISync([&] { syncOnWindow = center.IsWindowThread(); });
    syncReturned = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return syncReturned.load(); }));
  worker.join();
  EXPECT_TRUE(syncOnWindow);
  ASSERT_EQ(order.size(), 20u);  // queued before the synchronous call
  for (int i = 0; i < 20; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

struct Window : Action::CActionRegister<Window> {};

TEST(QtNotifyCenter, ActionsCompleteOnTheWindowThread) {
  CQtNotifyCenter center;
  CThreadModule module(4);
  Action::CActionFactory factory;
  Window window;
  std::vector<std::pair<int, int>> results;  // what was sent, what came back
  bool allOnWindow = true;
  for (int i = 0; i < 30; ++i) {
    auto* action = new Action::CActionBase(&window);
    action->SetCallback([&, i](int result) {
      allOnWindow = allOnWindow && center.IsWindowThread();
      results.emplace_back(i, result);
    });
    action->Run([action, i] { return action->RunOnUI([i] { return i * 2; }); }, false);
    action->Release();
  }
  ASSERT_TRUE(PumpUntil([&] { return results.size() == 30; }));
  EXPECT_TRUE(allOnWindow);
  for (const auto& [sent, result] : results) EXPECT_EQ(result, sent * 2);
  module.stop();
}

TEST(QtNotifyCenter, ClosedCenterRunsNothingAndNeverBlocks) {
  CQtNotifyCenter center;
  center.Close();
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    center.RunOnUISync([&] { ran = true; });  // the window thread does not pump here
    center.RunOnUIAsync([&] { ran = true; });
    returned = true;
  });
  worker.join();
  EXPECT_TRUE(returned);
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(QtNotifyCenter, ClosingReleasesAWorkerWaitingForTheWindowThread) {
  CQtNotifyCenter center;
  std::atomic<bool> ran{false};
  Gate returned;
  std::thread worker([&] {
    center.RunOnUISync([&] { ran = true; });
    returned.Open();
  });
  // The call is queued but the window thread is busy elsewhere (no pumping).
  EXPECT_FALSE(returned.WaitFor(std::chrono::milliseconds(50)));
  center.Close();
  worker.join();
  QCoreApplication::processEvents();  // the dropped call never runs later
  EXPECT_FALSE(ran);
}

TEST(QtNotifyCenter, EndOfTheEventLoopClosesTheCenter) {
  CQtNotifyCenter center;
  QTimer::singleShot(0, [] { QCoreApplication::quit(); });
  QCoreApplication::exec();
  EXPECT_TRUE(center.IsClosed());
  std::thread worker([&] { center.RunOnUISync([] {}); });
  worker.join();  // returns at once: no loop will run it
}

}  // namespace
