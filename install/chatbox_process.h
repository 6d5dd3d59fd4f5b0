#pragma once
// The chat client as a running program: unpacking it when it comes as an
// AppImage, starting it, and stopping our own copy of it, never another
// program that merely shares its name.
#include <install/install_layout.h>

#include <string>
#include <vector>

// How long a client asked to end may take to save and exit before it is
// ended at once.
inline constexpr int kChatboxStopTimeoutMs = 10000;

// True for an AppImage (type 2): an ELF file marked "AI\x02" at offset 8.
bool IsAppImage(const std::wstring& path);

// Unpacks the client's AppImage with its own --appimage-extract (no FUSE
// needed, then or at run time) into layout.chatboxAppFolder, replacing an
// older copy only once the new one is complete. True when the unpacked
// program is there afterwards.
bool UnpackChatbox(const InstallLayout& layout);

// The program that runs the client: the unpacked one when it is there,
// otherwise the file the client's setup installed in our folder, otherwise
// the one in the folder its uninstall entry names (when it is there).
std::wstring ChatboxProgramPath(const InstallLayout& layout);

// The client's arguments: none, or --no-sandbox when the reason the sandbox
// cannot start is given (it would abort at start otherwise).
std::vector<std::string> ChatboxArguments(const std::string& sandboxRestriction);

// Starts the client below the layout, detached, unpacking it first when it
// is an AppImage not yet unpacked, and remembers it. Says in the log when the
// sandbox is switched off. True when it started.
bool StartChatbox(const InstallLayout& layout);

// Ends the client we started and every process of this user whose program
// file lies inside chatboxFolder: asks them to end, waits up to timeoutMs for
// them, then ends those left at once and waits for them too. True when none
// is left. Callers on any thread; one stop at a time.
bool StopChatboxIn(const std::wstring& chatboxFolder, int timeoutMs = kChatboxStopTimeoutMs);
// True while the client we started, or any process of this user running
// from the client folder, is there.
bool ChatboxRunsIn(const std::wstring& chatboxFolder);

// Where StartChatbox learns why the sandbox cannot start (empty: it can).
// The platform's check unless replaced; returns the one it replaces.
using SandboxCheck = std::string (*)();
SandboxCheck SetChatboxSandboxCheck(SandboxCheck check);
