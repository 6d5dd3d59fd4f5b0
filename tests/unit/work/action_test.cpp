#include <gtest/gtest.h>

#include <vector>

#include <tests/support/gate.h>
#include <work/action_factory.h>
#include <work/plain_notify_center.h>

namespace {

using namespace std::chrono_literals;
using Action::CActionBase;
using Action::CActionFactory;
using Action::IAction;

struct TestOwner : Action::CActionRegister<TestOwner> {
  void OnActionFinish(IAction*, int result) override { finished.push_back(result); }
  std::vector<int> finished;
};

// The modules as start-up creates them: notify center (its own window
// thread), thread module, factory; then a registered window.
class ActionTest : public ::testing::Test {
 protected:
  explicit ActionTest(int workers = 12) : module_(workers) {}
  // Windows close on the window thread, as in the program; the pool drains
  // before the factory its tasks report to goes away.
  ~ActionTest() override {
    center_.RunOnUISync([this] { owner_.reset(); });
    module_.stop();
  }

  // Starts an action the way the window does: create, callback, run, release.
  CActionBase* Start(std::function<int()> task, std::function<void(int)> callback = {},
                     bool urgent = false, TestOwner* owner = nullptr) {
    CActionBase* action = nullptr;
    center_.RunOnUISync([&] {
      action = new CActionBase(owner != nullptr ? owner : owner_.get());
      if (callback) action->SetCallback(std::move(callback));
      action->Run(std::move(task), urgent);
      action->Release();
    });
    return action;
  }
  void Record(const std::string& entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(entry);
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(mutex_);
    return log_;
  }

  CPlainNotifyCenter center_;
  CThreadModule module_;
  CActionFactory factory_;
  std::unique_ptr<TestOwner> owner_ = [this] {
    std::unique_ptr<TestOwner> owner;
    center_.RunOnUISync([&] { owner = std::make_unique<TestOwner>(); });
    return owner;
  }();
  std::mutex mutex_;
  std::vector<std::string> log_;
};

class SingleWorkerActionTest : public ActionTest {
 protected:
  SingleWorkerActionTest() : ActionTest(1) {}
};

TEST_F(ActionTest, CompletionRunsOnTheWindowThreadWithTheResult) {
  std::atomic<bool> onWindow{false};
  std::atomic<int> got{0};
  Gate done;
  Start([] { return 42; },
        [&](int result) {
          onWindow = center_.IsWindowThread();
          got = result;
          done.Open();
        });
  ASSERT_TRUE(done.WaitFor(10s));
  EXPECT_TRUE(onWindow);
  EXPECT_EQ(got, 42);
}

TEST_F(ActionTest, IdsStartAtOneAndIncrease) {
  Start([] { return 0; });
  std::vector<int> ids;
  center_.RunOnUISync([&] {
    for (int i = 0; i < 3; ++i) {
      auto* action = new CActionBase(owner_.get());
      ids.push_back(action->GetId());
      action->Release();
    }
  });
  EXPECT_EQ(ids, (std::vector<int>{2, 3, 4}));
}

TEST_F(ActionTest, ParkedActionStartsOnTheFirstWorkerFreed) {
  std::array<Gate, 12> gates;
  std::array<std::atomic<std::thread::id>, 13> ranOn{};
  std::atomic<int> started{0};
  for (std::size_t t = 0; t < 12; ++t) {
    Start([&, t] {
      ranOn[t] = std::this_thread::get_id();
      ++started;
      gates[t].Wait();
      return 0;
    });
  }
  ASSERT_TRUE(Eventually([&] { return started == 12 && module_.idle_count() == 0; }));
  Gate thirteenth;
  Start([&] {
    ranOn[12] = std::this_thread::get_id();
    thirteenth.Open();
    return 0;
  });
  EXPECT_FALSE(thirteenth.WaitFor(30ms));  // parked
  gates[7].Open();
  ASSERT_TRUE(thirteenth.WaitFor(10s));
  EXPECT_EQ(ranOn[12].load(), ranOn[7].load());
  for (auto& gate : gates) gate.Open();
}

TEST_F(SingleWorkerActionTest, UrgentParkedActionsRunFirstInReverseOrder) {
  Gate gate;
  std::atomic<bool> blocking{false};
  Start([&] {
    blocking = true;
    gate.Wait();
    return 0;
  });
  ASSERT_TRUE(Eventually([&] { return blocking && module_.idle_count() == 0; }));
  Gate last;
  for (const auto& [name, urgent] : std::vector<std::pair<std::string, bool>>{
           {"normal 1", false}, {"urgent 1", true}, {"urgent 2", true}, {"normal 2", false}}) {
    Start(
        [this, name = name, &last] {
          Record(name);
          if (name == "normal 2") last.Open();
          return 0;
        },
        {}, urgent);
  }
  gate.Open();
  ASSERT_TRUE(last.WaitFor(10s));
  EXPECT_EQ(Log(), (std::vector<std::string>{"urgent 2", "urgent 1", "normal 1", "normal 2"}));
}

TEST_F(ActionTest, UnregisteredOwnerGetsNothingAndRunOnUIFails) {
  TestOwner* owner = nullptr;
  center_.RunOnUISync([&] { owner = new TestOwner(); });
  Gate unregistered;
  Gate taskDone;
  std::atomic<int> beforeClose{0};
  std::atomic<int> afterClose{0};
  std::atomic<bool> callbackCalled{false};
  std::atomic<bool> fnAfterCloseRan{false};
  // One action that talks to the window before and after it closes.
  CActionBase* action = nullptr;
  center_.RunOnUISync([&] {
    action = new CActionBase(owner);
    action->SetCallback([&](int) { callbackCalled = true; });
    action->Run(
        [&, a = action]() -> int {
          beforeClose = a->RunOnUI([] { return 5; });
          unregistered.Wait();
          afterClose = a->RunOnUI([&] {
            fnAfterCloseRan = true;
            return 6;
          });
          taskDone.Open();
          return 1;
        },
        false);
    action->Release();
  });
  ASSERT_TRUE(Eventually([&] { return beforeClose == 5; }));
  center_.RunOnUISync([&] { delete owner; });  // the window closes
  unregistered.Open();
  ASSERT_TRUE(taskDone.WaitFor(10s));
  center_.RunOnUISync([] {});  // anything delivered would have run by now
  std::this_thread::sleep_for(20ms);
  center_.RunOnUISync([] {});
  EXPECT_EQ(afterClose, -1);
  EXPECT_FALSE(fnAfterCloseRan);
  EXPECT_FALSE(callbackCalled);
}

// A closed window's thread may be the one stopping the pool (as a window's
// tear-down does): a task of that window asking for it must not wait.
TEST_F(ActionTest, RunOnUIOfAClosedWindowDoesNotWaitForTheWindowThread) {
  TestOwner* owner = nullptr;
  center_.RunOnUISync([&] { owner = new TestOwner(); });
  Gate closed;
  Gate taskDone;
  std::atomic<int> answer{0};
  center_.RunOnUISync([&] {
    auto* action = new CActionBase(owner);
    action->Run(
        [&, a = action]() -> int {
          closed.Wait();
          answer = a->RunOnUI([] { return 6; });
          taskDone.Open();
          return 1;
        },
        false);
    action->Release();
  });
  bool doneWhileBlocked = false;
  center_.RunOnUISync([&] {
    delete owner;
    closed.Open();
    // The window thread is busy (stopping the pool, say) until the task ends.
    doneWhileBlocked = taskDone.WaitFor(5s);
  });
  ASSERT_TRUE(taskDone.WaitFor(10s));
  EXPECT_TRUE(doneWhileBlocked);
  EXPECT_EQ(answer, -1);
}

TEST_F(ActionTest, WithoutCallbackTheOwnerIsToldAndEmptyRunOnUIFails) {
  std::atomic<int> emptyFn{0};
  CActionBase* action = nullptr;
  center_.RunOnUISync([&] {
    action = new CActionBase(owner_.get());
    action->Run(
        [&, a = action] {
          emptyFn = a->RunOnUI({});
          return 9;
        },
        false);
  });
  EXPECT_TRUE(action->Wait(10000));  // gives up our reference and waits
  EXPECT_EQ(emptyFn, -1);
  std::vector<int> finished;
  center_.RunOnUISync([&] { finished = owner_->finished; });
  EXPECT_EQ(finished, std::vector<int>{9});
}

TEST_F(SingleWorkerActionTest, CancelParkedDeliversTheCodeAndSkipsTheTask) {
  Gate gate;
  std::atomic<bool> blocking{false};
  std::atomic<int> runningResult{-100};
  CActionBase* running = nullptr;
  center_.RunOnUISync([&] {
    running = new CActionBase(owner_.get());
    running->SetCallback([&](int r) { runningResult = r; });
    running->AddRef();  // keep it to cancel it later
    running->Run(
        [&] {
          blocking = true;
          gate.Wait();
          return 1;
        },
        false);
    running->Release();
  });
  ASSERT_TRUE(Eventually([&] { return blocking && module_.idle_count() == 0; }));

  std::atomic<bool> parkedRan{false};
  std::atomic<int> parkedResult{-100};
  std::atomic<bool> deliveredOnWindow{false};
  CActionBase* parked = nullptr;
  center_.RunOnUISync([&] {
    parked = new CActionBase(owner_.get());
    parked->SetCallback([&](int r) {
      parkedResult = r;
      deliveredOnWindow = center_.IsWindowThread();
    });
    parked->AddRef();
    parked->Run(
        [&] {
          parkedRan = true;
          return 2;
        },
        false);
    parked->Release();
  });
  // Cancelled from a worker-like thread, as the engine would.
  bool cancelledParked = false;
  bool cancelledRunning = true;
  std::thread canceller([&] {
    cancelledParked = parked->Cancel(77);
    cancelledRunning = running->Cancel(78);
  });
  canceller.join();
  EXPECT_TRUE(cancelledParked);
  EXPECT_FALSE(cancelledRunning);
  EXPECT_TRUE(parked->IsCancelled());
  EXPECT_EQ(parkedResult, 77);
  EXPECT_TRUE(deliveredOnWindow);
  gate.Open();
  ASSERT_TRUE(Eventually([&] { return runningResult == 1; }));
  EXPECT_FALSE(parkedRan);
  EXPECT_FALSE(parked->Cancel(79));  // not parked any more
  EXPECT_TRUE(parked->Wait(10000));
  EXPECT_TRUE(running->Wait(10000));
}

TEST_F(ActionTest, ThrowingTaskDeliversNothingAndTheActionIsFreed) {
  std::atomic<bool> called{false};
  CActionBase* action = nullptr;
  center_.RunOnUISync([&] {
    action = new CActionBase(owner_.get());
    action->SetCallback([&](int) { called = true; });
    action->Run([]() -> int { throw std::runtime_error("task failed"); }, false);
  });
  EXPECT_TRUE(action->Wait(10000));
  center_.RunOnUISync([] {});
  EXPECT_FALSE(called);
}

// A factory with no worker pool behind it cannot run anything: the owner is
// told at once and the action is freed, never parked for ever.
TEST(ActionWithoutWorkers, OwnerGetsTheFailureCodeAndTheActionIsFreed) {
  ASSERT_EQ(CThreadModule::getSingletonPtr(), nullptr);
  CPlainNotifyCenter center;
  CActionFactory factory;
  std::unique_ptr<TestOwner> owner;
  std::atomic<bool> taskRan{false};
  std::vector<int> results;
  CActionBase* action = nullptr;
  center.RunOnUISync([&] {
    owner = std::make_unique<TestOwner>();
    action = new CActionBase(owner.get());
    action->SetCallback([&](int result) { results.push_back(result); });
    action->Run([&] { return taskRan = true, 0; }, false);
  });
  EXPECT_TRUE(action->Wait(10000));
  center.RunOnUISync([&] {
    EXPECT_EQ(results, std::vector<int>{Action::kActionNotRun});
    owner.reset();
  });
  EXPECT_FALSE(taskRan);
}

TEST(ActionParams, TypedAccessAndAttachedObjects) {
  CActionFactory factory;
  auto* action = new CActionBase(nullptr);
  action->SetParamInt("n", 5);
  action->SetParamString("tag", "deepseek-r1:7b");
  action->SetParamUInt("u", 4000000000u);
  action->SetParamFloat("f", 0.5f);
  action->SetParamDouble("d", 2.25);
  Json::Value list(Json::arrayValue);
  list.append(1);
  action->SetParamValue("list", list);
  int n = -1;
  EXPECT_TRUE(action->GetParamInt("n", n));
  EXPECT_EQ(n, 5);
  int unchanged = 11;
  EXPECT_FALSE(action->GetParamInt("tag", unchanged));  // holds a string
  EXPECT_EQ(unchanged, 11);
  EXPECT_FALSE(action->GetParamInt("missing", unchanged));
  std::string tag;
  EXPECT_TRUE(action->GetParamString("tag", tag));
  EXPECT_EQ(tag, "deepseek-r1:7b");
  EXPECT_FALSE(action->GetParamString("n", tag));
  Json::Value value;
  EXPECT_TRUE(action->GetParamValue("list", value));
  EXPECT_EQ(value, list);
  EXPECT_TRUE(action->GetParamValue("f", value));
  EXPECT_DOUBLE_EQ(value.asDouble(), 0.5);
  EXPECT_TRUE(action->HasParam("u"));
  EXPECT_FALSE(action->HasParam("nope"));

  // Attached objects hold a reference until detached or the action goes.
  auto* other = new CActionBase(nullptr);
  action->AttachObject(other);
  action->AttachObject(other);
  action->AttachObject(nullptr);
  action->DetachObject(other);  // one release, every entry removed
  action->DetachObject(other);  // not attached any more: nothing
  action->AttachObject(other);
  // Ours, the one a double attach left behind, and the attached one.
  EXPECT_EQ(other->AddRef(), 4);
  EXPECT_EQ(other->Release(), 3);
  EXPECT_EQ(other->Release(), 2);
  action->Release();               // gives back the attached reference
  EXPECT_EQ(other->Release(), 0);  // the one left behind: freed now
  EXPECT_EQ(CActionFactory::getSingletonPtr(), &factory);
}

}  // namespace

namespace {

// Actions parked on a stale idle count while workers were still starting up
// must all start, even when the first of them never finishes.
TEST(ActionParking, EveryParkedActionStartsWhileWorkersAreFree) {
  for (int round = 0; round < 50; ++round) {
    CPlainNotifyCenter center;
    CThreadModule module(4);
    CActionFactory factory;
    std::unique_ptr<TestOwner> owner;
    center.RunOnUISync([&] { owner = std::make_unique<TestOwner>(); });
    Gate release;
    std::atomic<int> started{0};
    center.RunOnUISync([&] {
      for (int i = 0; i < 4; ++i) {
        auto* action = new CActionBase(owner.get());
        action->Run(
            [&] {
              ++started;
              release.Wait();
              return 0;
            },
            false);
        action->Release();
      }
    });
    const bool allStarted = Eventually([&] { return started == 4; });
    release.Open();
    ASSERT_TRUE(allStarted) << "round " << round << ": " << started << " of 4 started";
    module.stop();
    center.RunOnUISync([&] { owner.reset(); });
  }
}

}  // namespace
