#pragma once
// Opening things with the user's own programs, and the developer trace.
#include <string>

#include <base/text_helpers.h>
#include <platform/top_level_window.h>

// Opens a URL or a document with the user's preferred program.
bool ShellOpen(platform::WindowHandle owner, const std::wstring& target);
// Opens the file or folder in the file manager.
bool ShellOpenInExplorer(platform::WindowHandle owner, const std::wstring& parameters);
// Formats like FormatString and sends the text to the developer trace.
void DebugPrint(const char* format, ...) TIDEWELL_PRINTF(1, 2);
