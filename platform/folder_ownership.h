#pragma once
#include <string>

namespace platform {

// True when path is a real folder (not a link to one) that belongs to this
// user and that nobody else may write to. Programs are run from the install
// folder, so one that another user owns or can change is not safe to use.
bool IsFolderOurOwn(const std::wstring& path);

}  // namespace platform

#include <cstdint>
#include <optional>

namespace platform {

enum class ObjectKind { Missing, Folder, File, Link, Other };

// What stands at a path, told apart from anything swapped in later: the
// volume and the object's number on it. A last link is not followed.
struct ObjectIdentity {
  ObjectKind kind = ObjectKind::Missing;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  friend bool operator==(const ObjectIdentity&, const ObjectIdentity&) = default;
};

// kind Missing when nothing stands there; nullopt when the system cannot
// say (no right to look).
std::optional<ObjectIdentity> IdentityAt(const std::wstring& path);

}  // namespace platform
