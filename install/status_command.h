#pragma once
// `tidewell --status`: what is installed, for a terminal.
#include <string>

// What is installed below the remembered install folder (or the default
// one), and what the installation record holds, as text, without starting
// anything. Returns the exit code: 0 all there, 1 part of it, 2 nothing of
// ours.
int InstalledStatusText(std::string& text);
