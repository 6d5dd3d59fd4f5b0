#include <tests/support/engine_harness.h>

#include <thread>

#include <config/app_constants.h>

class EngineHarness::Owner : public Action::CActionRegister<Owner> {};

EngineHarness::EngineHarness() : module_(AppConstants::kWorkerThreadCount) {
  DeclareApplicationEvents(center_);
  center_.RunOnUISync([this] {
    owner_ = std::make_unique<Owner>();
    engine_ = std::make_shared<CInstallEngine>(view_, owner_.get());
  });
}

Action::IActionCallback* EngineHarness::owner() { return owner_.get(); }

EngineHarness::~EngineHarness() {
  // As the program: the window goes first (pending completions are dropped),
  // then the pool drains before the factory its tasks report to.
  center_.RunOnUISync([this] {
    engine_->DetachView();
    owner_.reset();
  });
  module_.stop();
  center_.RunOnUISync([this] { engine_.reset(); });
}

bool EngineHarness::WaitUntil(const std::function<bool(RecordingView&)>& condition,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (OnUI([&] { return condition(view_); })) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
