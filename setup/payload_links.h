#pragma once
// Symbolic links carried in a payload (the runner's libfoo.so -> libfoo.so.1
// chains). A link is made only when its target stays inside the install
// folder however the other links in it resolve.
#include <string>
#include <string_view>

#include <platform/file_handle.h>

namespace setup {

// The rule for a link named name (relative to the install folder, '/'
// separated) pointing at target: the target is relative and not empty, its
// ".." steps all come before its first named step, and they climb no
// higher than the install folder. A ".." after a named step is refused
// because that step may itself be a link, and then the climb would start
// from wherever that link leads. False with the reason when refused.
bool LinkTargetStaysInside(std::string_view name, std::string_view target, std::string* reason);

// Makes the link name -> target below the folder root, walking down
// without following links (missing folders are made). An existing entry of
// that name makes it fail.
bool MakeLinkBeneath(platform::NativeFile root, const std::string& name, const std::string& target,
                     std::string* reason);

}  // namespace setup
