#pragma once
// Folders and files as the installation record knows them: made and
// recorded, checked before they are used, and taken back only where the
// record says we made them and they are still those objects. Walks never go
// through a link and never cross into another file system.
#include <functional>
#include <string>
#include <vector>

#include <install/install_layout.h>

enum class FolderClaim {
  Ours,     // made now, or made by us before and still that folder
  Adopted,  // there before us, used as it is (and never removed)
  NotOurs,  // there, and not ours to use: nothing was touched
  Failed,   // could not be made
};

// The folder for a step: made with its missing parents (each recorded)
// when missing. One already there is used only when the record says we made
// or adopted it and it is still that folder, or when adoptable says it may
// be adopted as it is.
FolderClaim ClaimFolder(const std::wstring& path, const std::string& step,
                        const std::function<bool(const std::wstring&)>& adoptable = {});

// Records what stands at path and everything beneath it as made by step,
// after the step has put it there; what the record holds as adopted stays
// so, and entries beneath path that are gone are dropped.
void RecordTree(const std::wstring& path, const std::string& step);

// The same for a folder the record holds (made or adopted) and that is
// still that folder: what a program of ours put into it since (a model the
// runner pulled). Nothing is recorded for any other folder.
void RecordAddedIn(const std::wstring& folder, const std::string& step);

struct Removal {
  bool ok = true;                  // nothing of ours is left
  bool removedAnything = false;    // at least one object of ours went
  std::vector<std::wstring> left;  // what stayed: not ours, or could not go
};
// Takes back what the record says we made at and beneath path. A folder of
// ours that still holds something else stays, with what it holds named.
Removal RemoveRecorded(const std::wstring& path);

// A model store the user may already have: a folder of the runner's own
// layout (nothing but its blobs and manifests), or an empty one.
bool IsRunnerStoreLayout(const std::wstring& path);

// The folders below the install folder the installation writes to that
// stand there already and are not ours (nor an adoptable model store), by
// their names.
std::vector<std::wstring> ForeignFoldersIn(const InstallLayout& layout);

// The message that stops an installation at such a folder, in the window's
// language.
std::wstring ForeignFolderText(const std::wstring& installFolder, const std::wstring& name);

// What a broken-off setup leaves beside the folder it installs into (its
// staging and set-aside copies), when the record says we ran it there.
void RemoveSetupLeftovers(const std::wstring& target);
