#pragma once
#include <string>

namespace platform {

// True when path is a real folder (not a link to one) that belongs to this
// user and that nobody else may write to. Programs are run from the install
// folder, so one that another user owns or can change is not safe to use.
bool IsFolderOurOwn(const std::wstring& path);

}  // namespace platform
