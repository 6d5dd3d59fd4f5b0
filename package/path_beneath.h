#pragma once
// Folders and files below an extraction root, reached from a handle on the
// root one path step at a time: a link anywhere on the way (planted before
// or during extraction) is never followed.
#include <string>

#include <platform/file_handle.h>

// Opens the folder at relative ('/'-separated, no "." or ".." steps) below
// root, creating missing steps. A link on the way is replaced by a folder;
// anything else that is not a folder makes it fail. A handle, or kNoFile.
platform::NativeFile OpenFolderBeneath(platform::NativeFile root, const std::string& relative);

// Creates the file name in folder anew (an existing file or link standing
// there is removed first, never written through). A handle, or kNoFile.
platform::NativeFile CreateFileIn(platform::NativeFile folder, const std::string& name,
                                  unsigned mode);

// Removes name in dir and, when it is a folder, everything below it,
// without ever following a link (a link is removed itself). True when
// nothing of it is left.
bool RemoveBeneath(platform::NativeFile dir, const std::string& name);
