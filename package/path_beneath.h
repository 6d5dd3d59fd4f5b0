#pragma once
// Folders and files below an extraction root, reached from a handle on the
// root one path step at a time: a link anywhere on the way (planted before
// or during extraction) is never followed.
#include <string>

// Opens the folder at relative ('/'-separated, no "." or ".." steps) below
// rootFd, creating missing steps. A link on the way is replaced by a folder;
// anything else that is not a folder makes it fail. A descriptor, or -1.
int OpenFolderBeneath(int rootFd, const std::string& relative);

// Creates the file name in folderFd anew (an existing file or link standing
// there is removed first, never written through). A descriptor, or -1.
int CreateFileIn(int folderFd, const std::string& name, unsigned mode);

// Removes name in dirFd and, when it is a folder, everything below it,
// without ever following a link (a link is removed itself). True when
// nothing of it is left.
bool RemoveBeneath(int dirFd, const std::string& name);
