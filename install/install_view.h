#pragma once
// What the installation engine needs from the window: somewhere to publish
// its state, and the user's answers. Every call comes on the window thread.
#include <install/engine_state.h>
#include <install/user_questions.h>

class IInstallView : public IUserQuestions {
 public:
  // The state changed: the window shows it as it now is.
  virtual void ShowState(const EngineState& state) = 0;

 protected:
  ~IInstallView() override = default;
};
