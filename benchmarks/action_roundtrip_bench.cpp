// Action round trips per second: create an action on the window thread, run
// its task on the pool, deliver its completion on the window thread. Side by
// side with the plain Qt way of doing the same: QThreadPool plus a queued
// QMetaObject::invokeMethod back to the window thread.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThreadPool>

#include <ui/qt_notify_center.h>
#include <work/action_factory.h>
#include <work/plain_notify_center.h>

namespace {

constexpr int kBatch = 1000;

struct Owner : Action::CActionRegister<Owner> {};

void PumpUntil(const int& done, int target) {
  while (done < target) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

void BM_ActionsWithQtWindowThread(benchmark::State& state) {
  CQtNotifyCenter center;
  CThreadModule module(12);
  Action::CActionFactory factory;
  Owner owner;
  for (auto _ : state) {
    int done = 0;
    for (int i = 0; i < kBatch; ++i) {
      auto* action = new Action::CActionBase(&owner);
      action->SetCallback([&done](int result) { done += result; });
      action->Run([] { return 1; }, false);
      action->Release();
    }
    PumpUntil(done, kBatch);
  }
  module.stop();
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ActionsWithQtWindowThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// The plain Qt way: QThreadPool, then invokeMethod back to the window
// thread. Queued: the worker does not wait. Blocking-queued: the worker
// waits for its completion to run, as action completions do (like for like).
void QThreadPoolRoundTrips(benchmark::State& state, Qt::ConnectionType connection) {
  QThreadPool pool;
  pool.setMaxThreadCount(12);
  QObject receiver;  // lives on the window thread
  for (auto _ : state) {
    int done = 0;
    for (int i = 0; i < kBatch; ++i) {
      pool.start([&receiver, &done, connection] {
        const int result = 1;
        QMetaObject::invokeMethod(
            &receiver, [&done] { done += result; }, connection);
      });
    }
    PumpUntil(done, kBatch);
  }
  pool.waitForDone();
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_QThreadPoolWithInvokeMethod(benchmark::State& state) {
  QThreadPoolRoundTrips(state, Qt::QueuedConnection);
}
BENCHMARK(BM_QThreadPoolWithInvokeMethod)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QThreadPoolWithBlockingInvoke(benchmark::State& state) {
  QThreadPoolRoundTrips(state, Qt::BlockingQueuedConnection);
}
BENCHMARK(BM_QThreadPoolWithBlockingInvoke)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same actions with the toolkit-free notify center (its own thread as
// the window thread): the framework's cost without Qt's event loop.
void BM_ActionsWithPlainWindowThread(benchmark::State& state) {
  CPlainNotifyCenter center;
  CThreadModule module(12);
  Action::CActionFactory factory;
  std::unique_ptr<Owner> owner;
  center.RunOnUISync([&] { owner = std::make_unique<Owner>(); });
  for (auto _ : state) {
    std::atomic<int> done{0};
    center.RunOnUISync([&] {
      for (int i = 0; i < kBatch; ++i) {
        auto* action = new Action::CActionBase(owner.get());
        action->SetCallback([&done](int result) { done += result; });
        action->Run([] { return 1; }, false);
        action->Release();
      }
    });
    while (done < kBatch) std::this_thread::yield();
  }
  module.stop();
  center.RunOnUISync([&] { owner.reset(); });
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ActionsWithPlainWindowThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
