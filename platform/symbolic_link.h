#pragma once
// Symbolic links made inside a folder reached by handle.
#include <string>

#include <platform/file_handle.h>

namespace platform {

// Makes the link name -> target in dir (name a single step, target stored
// as given). 0 or an errno: EEXIST when anything stands there; on Windows,
// where making links needs a privilege a user seldom has, always EPERM.
int MakeLinkIn(NativeFile dir, const std::string& name, const std::string& target);

}  // namespace platform
