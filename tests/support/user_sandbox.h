#pragma once
// A fresh, empty per-user state for one test: the key store, the user
// environment and the programs started at login read and write a scratch
// copy while the object lives, never the real user's. On POSIX that is a
// TempHome; on Windows the current user's registry root is redirected to a
// scratch key (RegOverridePredefKey), removed afterwards.
#include <memory>

class UserSandbox {
 public:
  UserSandbox();
  ~UserSandbox();
  UserSandbox(const UserSandbox&) = delete;
  UserSandbox& operator=(const UserSandbox&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};
