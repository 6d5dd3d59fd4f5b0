#pragma once
// The engine as the window runs it: notify center (its own window thread),
// worker pool, action factory, a registered owner of the engine's actions,
// and a recording view.
#include <chrono>
#include <functional>
#include <memory>

#include <install/install_engine.h>
#include <tests/support/recording_view.h>
#include <work/action_factory.h>
#include <work/plain_notify_center.h>

class EngineHarness {
 public:
  EngineHarness();
  ~EngineHarness();

  // Runs fn on the window thread and returns its result.
  template <class F>
  auto OnUI(F fn) -> decltype(fn()) {
    if constexpr (std::is_void_v<decltype(fn())>) {
      center_.RunOnUISync(fn);
    } else {
      decltype(fn()) result{};
      center_.RunOnUISync([&] { result = fn(); });
      return result;
    }
  }
  // Polls the condition on the window thread until it holds; false when the
  // time runs out first.
  bool WaitUntil(const std::function<bool(RecordingView&)>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30));

  CInstallEngine& engine() { return *engine_; }
  // The install image's click with the form as the view holds it (window
  // thread).
  void ClickInstall() { engine_->OnInstallClick(view_.installFolder, view_.selectedModel); }
  // The window that owns the engine's actions (other engines of the window
  // start theirs on it too).
  Action::IActionCallback* owner();
  RecordingView& view() { return view_; }  // only on the window thread

 private:
  class Owner;

  CPlainNotifyCenter center_;
  CThreadModule module_;
  Action::CActionFactory factory_;
  RecordingView view_;
  std::unique_ptr<Owner> owner_;
  std::shared_ptr<CInstallEngine> engine_;
};
