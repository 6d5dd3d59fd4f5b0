#pragma once
// Where the chat client's own setup says it installed the client. Its setup
// (electron-builder's NSIS setup) keeps a per-user uninstall entry named
// after the GUID it derives from the client's app id "xyz.chatboxapp.app",
// the same GUID that names the setup key our install writes beforehand.
#include <string>

inline constexpr wchar_t kChatboxUninstallKeyPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"bd4f3b30-4f23-5853-b30a-61e20eb47251";

// The InstallLocation of that entry, without trailing separators; empty
// when the entry or the value is missing, or the value is not an absolute
// folder or holds a control character. Reading creates no key.
std::wstring ChatboxInstallLocation();

// The client program in that folder ("Chatbox" with the platform's program
// suffix); empty when there is no usable InstallLocation.
std::wstring ChatboxProgramAtInstallLocation();
