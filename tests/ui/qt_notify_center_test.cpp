#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

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
  std::vector<int> results;
  bool allOnWindow = true;
  for (int i = 0; i < 30; ++i) {
    auto* action = new Action::CActionBase(&window);
    action->SetCallback([&, i](int result) {
      allOnWindow = allOnWindow && center.IsWindowThread();
      results.push_back(result - i);
    });
    action->Run([action, i] { return action->RunOnUI([i] { return i * 2; }); }, false);
    action->Release();
  }
  ASSERT_TRUE(PumpUntil([&] { return results.size() == 30; }));
  EXPECT_TRUE(allOnWindow);
  for (int r : results) EXPECT_GE(r, 0);
  module.stop();
}

}  // namespace
