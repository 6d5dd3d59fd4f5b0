#include <install/engine_task.h>

#include <exception>

#include <base/translate.h>
#include <install/chatbox_client.h>

void StartEngineTask(Action::IActionCallback* owner, std::shared_ptr<const void> keepAlive,
                     std::function<int(Action::IAction*)> task, std::function<void()> onThrow) {
  auto* action = new Action::CActionBase(owner);
  action->SetCallback([](int) {});
  action->Run(
      [keepAlive = std::move(keepAlive), action, task = std::move(task),
       onThrow = std::move(onThrow)] {
        try {
          return task(action);
        } catch (const std::exception&) {
          // The pool would swallow it and leave the window on a stage for
          // ever: the task's own failure path ends it instead.
          if (onThrow) {
            action->RunOnUI([&onThrow] {
              onThrow();
              return 0;
            });
          }
          return -1;
        }
      },
      false);
  action->Release();  // the factory keeps it until its completion is delivered
}

std::function<bool()> AskOnWindow(IUserQuestions& questions, Action::IAction* action,
                                  const char* context, const char* text, const char* caption) {
  return [&questions, action, context, text, caption] {
    return action->RunOnUI([&] {
             return questions.AskToContinue(tw::Translate(context, text),
                                            tw::Translate(context, caption))
                        ? 1
                        : 0;
           }) == 1;
  };
}

std::function<bool()> AskBeforeRestartingChatbox(IUserQuestions& questions,
                                                 Action::IAction* action) {
  // Otherwise the client's next start by try-now takes the change.
  return AskOnWindow(questions, action, "ChatboxClient", kChatboxRestartText,
                     kChatboxRestartCaption);
}
