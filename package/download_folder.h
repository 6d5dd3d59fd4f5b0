#pragma once
// Where partial downloads live: a folder of the user's own (0700, below the
// local application-data folder, never a shared temporary folder), each
// transfer in a file created exclusively under an unguessable name and
// locked while it is written, so that leftovers of earlier runs can be told
// from a transfer in progress.
#include <string>

#include <platform/file_handle.h>

// The private folder, created when missing; empty when it cannot be made
// private (a link or another owner in the way).
std::string PrivateDownloadFolder();

// A new, empty, exclusively created and locked partial file in folder;
// its handle (or kNoFile) and its path.
platform::NativeFile CreatePartialFile(const std::string& folder, std::string* path);

// Removes the partial files in folder that no transfer holds (left by a run
// that crashed or was killed). Returns how many were removed.
int RemoveStalePartials(const std::string& folder);
