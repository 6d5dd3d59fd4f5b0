#include <tests/support/engine_harness.h>

#include <thread>

#include <config/app_constants.h>

class EngineHarness::Owner : public Action::CActionRegister<Owner>, public IEventMap {
 public:
  explicit Owner(CInstallEngine*& engine) : engine_(engine) {}
  void OnEvent(EventArgs& event) override {
    if (engine_ == nullptr) return;
    if (event.GetID() == EventQrCodeDisChanged3::EventID) engine_->OnPackageFailed(event);
    if (event.GetID() == EventDownModelChanged3::EventID) engine_->OnPackageReady(event);
  }

 private:
  CInstallEngine*& engine_;
};

namespace {
CInstallEngine* g_routed = nullptr;
}

EngineHarness::EngineHarness() : module_(AppConstants::kWorkerThreadCount) {
  DeclareApplicationEvents(center_);
  center_.RunOnUISync([this] {
    owner_ = std::make_unique<Owner>(g_routed);
    center_.RegisterEventMap(owner_.get());
    engine_ = std::make_shared<CInstallEngine>(view_, owner_.get());
    g_routed = engine_.get();
  });
}

Action::IActionCallback* EngineHarness::owner() { return owner_.get(); }

EngineHarness::~EngineHarness() {
  // As the program: the window goes first (pending completions are dropped),
  // then the pool drains before the factory its tasks report to.
  center_.RunOnUISync([this] {
    g_routed = nullptr;
    center_.UnregisterEventMap(owner_.get());
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
