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

// What tests do to the current user's store behind the program's back, the
// same on every system:
// the whole key store goes, as an uninstall that takes it;
void RemoveUserKeyStore();
// the next write to the user environment fails where it opens its store.
void BlockUserEnvironment();
