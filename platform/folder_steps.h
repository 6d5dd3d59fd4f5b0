#pragma once
// Names inside an open folder, reached from its handle one step at a time:
// a link (a junction or symbolic link on Windows) standing in a folder is
// never gone through, only opened, removed or refused as itself. Names are
// UTF-8 and single steps (no separators). Failures leave errno set (see
// platform/file_handle.h).
#include <filesystem>
#include <string>
#include <vector>

#include <platform/file_handle.h>

namespace platform {

// The folder at path itself (following links: it is the caller's own).
NativeFile OpenFolder(const std::filesystem::path& path);
// The same, but a link as the last step is refused rather than followed.
NativeFile OpenFolderNotLink(const std::filesystem::path& path);

// The folder name in dir, made (with mode) when missing. A link standing
// there is removed and a folder made in its place; anything else that is
// not a folder makes it fail (ENOTDIR).
NativeFile OpenChildFolder(NativeFile dir, const std::string& name, unsigned mode);

// relative ('/'-separated) below root in one call, when the system can
// refuse links and steps out of root itself and every step exists as a
// folder; kNoFile otherwise (the caller then walks step by step).
NativeFile OpenFolderPathBeneath(NativeFile root, const std::string& relative);

// A private folder of ours in parent: made with owner-only rights when
// missing, never a link, owned by us; wider rights on one of ours are
// narrowed.
NativeFile OpenPrivateChildFolder(NativeFile parent, const std::string& name);

// Makes the folder name in dir; 0 or an errno (EEXIST when anything stands
// there).
int MakeFolderIn(NativeFile dir, const std::string& name, unsigned mode);

// Creates the file name in dir exclusively, for writing: anything standing
// there, a link included, makes it fail with EEXIST.
NativeFile CreateNewFileIn(NativeFile dir, const std::string& name, unsigned mode);

// Opens the existing plain file name in dir to read; a link is not followed
// (it fails). Never blocks on a pipe.
NativeFile OpenFileIn(NativeFile dir, const std::string& name);

// Removes the file or link name in dir (not a folder). True when removed.
bool RemoveIn(NativeFile dir, const std::string& name);

// Removes name in dir and, when it is a folder, everything below it, links
// removed themselves. True when nothing of it is left.
bool RemoveTreeBeneath(NativeFile dir, const std::string& name);

// The names in dir ("." and ".." left out); empty when it cannot be read.
std::vector<std::string> FolderNames(NativeFile dir);

enum class RenameMode {
  Exchange,   // both names must exist; they swap in one step
  NoReplace,  // fails with EEXIST when to exists
  Replace,    // the system's plain rename
};
// Renames from to to, both in dir; 0 or an errno (EINVAL or ENOSYS when the
// file system cannot do the mode).
int RenameIn(NativeFile dir, const std::string& from, const std::string& to, RenameMode mode);

}  // namespace platform
