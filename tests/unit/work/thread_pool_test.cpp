#include <gtest/gtest.h>

#include <array>
#include <vector>

#include <tests/support/gate.h>
#include <work/thread_module.h>

namespace {

using namespace std::chrono_literals;

// Records, in order, what happened on the workers.
class Journal : public IThreadNotify {
 public:
  void Add(std::string entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<std::string> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  void OnThreadNotify(int i) override { Add("notify " + std::to_string(i)); }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

TEST(ThreadPool, ThirteenthTaskRunsOnTheFirstWorkerFreed) {
  for (int round = 0; round < 5; ++round) {
    CThreadModule module(12);
    std::array<Gate, 12> gates;
    std::array<std::atomic<int>, 13> ranOn{};
    for (auto& r : ranOn) r = -1;
    std::atomic<int> started{0};
    for (int t = 0; t < 12; ++t) {
      module.submit([&, t](int i) {
        ranOn[static_cast<std::size_t>(t)] = i;
        ++started;
        gates[static_cast<std::size_t>(t)].Wait();
      });
    }
    ASSERT_TRUE(Eventually([&] { return started == 12; }));
    EXPECT_EQ(module.idle_count(), 0);
    module.submit([&](int i) { ranOn[12] = i; });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ranOn[12], -1);  // no worker free yet
    const int freed = 3 + round;
    gates[static_cast<std::size_t>(freed)].Open();
    ASSERT_TRUE(Eventually([&] { return ranOn[12] != -1; }));
    EXPECT_EQ(ranOn[12], ranOn[static_cast<std::size_t>(freed)]);
    for (auto& gate : gates) gate.Open();
  }
}

TEST(ThreadPool, IdleCountDropsWhileATaskRuns) {
  ctpl::thread_pool pool(3);
  ASSERT_TRUE(Eventually([&] { return pool.idle_count() == 3; }));
  Gate gate;
  std::atomic<bool> running{false};
  pool.submit([&](int) {
    running = true;
    gate.Wait();
  });
  ASSERT_TRUE(Eventually([&] { return running.load(); }));
  EXPECT_EQ(pool.idle_count(), 2);
  gate.Open();
  EXPECT_TRUE(Eventually([&] { return pool.idle_count() == 3; }));
}

TEST(ThreadPool, ObserversHearOfEachTaskBeforeTheWorkerTakesTheNext) {
  Journal journal;
  {
    CThreadModule module(1);
    module.AddNotify(&journal);
    module.AddNotify(&journal);  // listed twice: told twice
    Gate gate;
    module.submit([&](int) { gate.Wait(); });
    for (int t = 0; t < 3; ++t) {
      module.submit(
          [&, t](int i) { journal.Add("task " + std::to_string(t) + " on " + std::to_string(i)); });
    }
    gate.Open();
    module.stop();
    module.RemoveNotify(&journal);
  }
  EXPECT_EQ(journal.Entries(),
            (std::vector<std::string>{"notify 0", "notify 0", "task 0 on 0", "notify 0", "notify 0",
                                      "task 1 on 0", "notify 0", "notify 0", "task 2 on 0",
                                      "notify 0", "notify 0"}));
}

TEST(ThreadPool, StopDrainsTheQueueAndIsFinal) {
  ctpl::thread_pool pool(2);
  std::atomic<int> done{0};
  for (int t = 0; t < 200; ++t) {
    pool.submit([&](int) {
      std::this_thread::sleep_for(50us);
      ++done;
    });
  }
  pool.stop();
  EXPECT_EQ(done, 200);
  EXPECT_EQ(pool.size(), 0);
  pool.stop();  // nothing left to do
  pool.resize(4);
  EXPECT_EQ(pool.size(), 0);  // a stopped pool does not grow again
}

// Shutdown from two threads at once, with a resize in between: each stop
// returns only once the queue has drained, and no worker is joined twice or
// started behind the stop's back.
TEST(ThreadPool, ConcurrentStopsAndResizeSeeOneConsistentPool) {
  for (int round = 0; round < 50; ++round) {
    ctpl::thread_pool pool(3);
    std::atomic<int> done{0};
    for (int t = 0; t < 40; ++t) {
      pool.post([&](int) {
        std::this_thread::sleep_for(10us);
        ++done;
      });
    }
    Gate go;
    std::atomic<int> doneSeenAfterStop[2] = {-1, -1};
    std::thread first([&] {
      go.Wait();
      pool.stop();
      doneSeenAfterStop[0] = done.load();
    });
    std::thread second([&] {
      go.Wait();
      pool.stop();
      doneSeenAfterStop[1] = done.load();
    });
    std::thread grower([&] {
      go.Wait();
      pool.resize(6);
    });
    go.Open();
    first.join();
    second.join();
    grower.join();
    EXPECT_EQ(doneSeenAfterStop[0], 40);
    EXPECT_EQ(doneSeenAfterStop[1], 40);
    EXPECT_EQ(pool.size(), 0);
  }
}

TEST(ThreadPool, ThrowingTaskIsAbsorbedAndTheWorkerGoesOn) {
  Journal journal;
  CThreadModule module(1);
  module.AddNotify(&journal);
  auto failed = module.submit([](int) -> int { throw std::runtime_error("boom"); });
  auto next = module.submit([](int) { return 7; });
  EXPECT_THROW(failed.get(), std::runtime_error);
  EXPECT_EQ(next.get(), 7);
  module.stop();
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"notify 0", "notify 0"}));
}

TEST(ThreadPool, ResizeGrowsAndShrinks) {
  ctpl::thread_pool pool(2);
  pool.resize(5);
  EXPECT_EQ(pool.size(), 5);
  EXPECT_TRUE(Eventually([&] { return pool.idle_count() == 5; }));
  pool.resize(1);
  EXPECT_EQ(pool.size(), 1);
  EXPECT_TRUE(Eventually([&] { return pool.idle_count() == 1; }));
  std::atomic<int> ran{0};
  pool.submit([&](int i) { ran = i + 100; });
  EXPECT_TRUE(Eventually([&] { return ran == 100; }));
}

}  // namespace
