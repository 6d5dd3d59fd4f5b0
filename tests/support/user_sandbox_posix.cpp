#include "user_sandbox.h"

#include "temp_home.h"

struct UserSandbox::State {
  TempHome home;
};

UserSandbox::UserSandbox() : state_(std::make_unique<State>()) {}
UserSandbox::~UserSandbox() = default;
