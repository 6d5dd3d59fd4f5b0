#pragma once
// Where an update of the runner and the chat client stands, kept in the
// installation record so that one broken off (a power cut, a kill) is
// finished or rolled back by the next start. The old programs wait in a
// folder of ours inside the install folder until the new ones answer; the
// record follows every object moved there and back, so only what it says we
// made is ever removed.
#include <functional>
#include <string>
#include <vector>

#include <install/install_layout.h>

enum class UpdateStage {
  None,      // no update under way
  SetAside,  // the old programs are being moved aside
  Install,   // the new package is being installed and checked
  Finish,    // the new programs answered: the old ones go
  Restore,   // the new programs are being taken out, the old ones put back
};

// The stage the record holds, the version being installed and the install
// folder it is installed into.
UpdateStage PendingUpdateStage();
std::string PendingUpdateVersion();
InstallLayout PendingUpdateLayout();
// Writes the stage (with the version and the folder) before the work it
// names begins; false when the record could not be saved.
bool SetUpdateStage(UpdateStage stage, const std::string& version, const InstallLayout& layout);

// The folder of ours the old programs wait in.
std::wstring SetAsideFolder(const InstallLayout& layout);

// Moves the old package, runner and chat client folders into the set-aside
// folder (made and recorded as ours first). False with the moved ones still
// there when one could not go: the caller restores.
bool SetAsideOldPrograms(const InstallLayout& layout);

// What the record says we made of the new programs goes (they are stopped
// first), and each set-aside folder moves back. Safe to run again on what an
// earlier broken-off one left. True when the old ones are all back and the
// stage is cleared; false keeps the stage for the next start. left names
// what stood in the way.
bool RestoreOldPrograms(const InstallLayout& layout, std::vector<std::wstring>* left);

// The set-aside folder goes (only what the record says we made), the
// version becomes the installed one and the stage is cleared. False when
// something of it stayed (named in left).
bool FinishUpdate(const InstallLayout& layout, const std::string& version,
                  std::vector<std::wstring>* left);

// The installed package's version in the record; found false for an
// installation made before versions were recorded.
std::string InstalledPackageVersion(bool* found);
void RecordPackageVersion(const std::string& version);
