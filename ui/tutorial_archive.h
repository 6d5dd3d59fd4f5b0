#pragma once
// The installation guide travels inside the program, packed as the archive
// that the tutorial click looks for in the work folder (its name and entries:
// catalogue/tutorial_guide.h).
#include <QByteArray>

#include <string>

// The built-in archive's bytes; empty when the build left it out.
QByteArray BuiltInTutorialArchive();

// Writes the built-in archive into the folder (private, replaced as one
// step) unless something already stands at its name: a copy the user or an
// installer put there is kept, and a link there is never written through.
// True when the archive is there afterwards.
bool PlaceTutorialArchive(const std::wstring& workFolder);
