#pragma once
// Work the window starts on a worker: an action of the window's, which keeps
// the object that started it alive until the work ends (its calls to the
// window are dropped once the window has gone).
#include <functional>
#include <memory>

#include <install/user_questions.h>
#include <work/action.h>

// A task that throws ends on its failure path: onThrow runs on the window
// thread instead of whatever the task had left to do.
void StartEngineTask(Action::IActionCallback* owner, std::shared_ptr<const void> keepAlive,
                     std::function<int(Action::IAction*)> task, std::function<void()> onThrow = {});

// Asks the user on the window, from the worker running action, whether to
// go on; the texts (marked with TW_TR_NOOP in context) are translated when
// asked.
std::function<bool()> AskOnWindow(IUserQuestions& questions, Action::IAction* action,
                                  const char* context, const char* text, const char* caption);

// Asks before our running chat client is restarted for a settings change.
std::function<bool()> AskBeforeRestartingChatbox(IUserQuestions& questions,
                                                 Action::IAction* action);
