#pragma once
// The boxes the engines put in front of the user. Every call comes on the
// window thread and returns when the user has answered.
#include <string>

class IUserQuestions {
 public:
  // A box with an OK button, no owner.
  virtual void ShowMessage(const std::wstring& text, const std::wstring& caption) = 0;
  // A question; true when the user goes on.
  virtual bool AskToContinue(const std::wstring& text, const std::wstring& caption) = 0;

 protected:
  virtual ~IUserQuestions() = default;
};
