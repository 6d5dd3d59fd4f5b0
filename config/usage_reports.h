#pragma once
// Whether usage reports may leave the machine. The user's switch is
// remembered under the product key (on until turned off); DO_NOT_TRACK in
// the environment turns reports off whatever is remembered. Nothing the
// vendor's service sends can turn them on: only the user's own switch does.
#include <optional>
#include <string>

// Values under the product key: "1" on, "0" off (absent: on).
inline constexpr wchar_t kUsageReportsValueName[] = L"UsageReports";
// "1" once the first-start notice was closed.
inline constexpr wchar_t kUsageNoticeShownValueName[] = L"UsageNoticeShown";

// The rule itself, free of the process: the remembered switch (nullopt: never
// set) and DO_NOT_TRACK's value (null: unset).
bool UsageReportsAllowed(std::optional<bool> remembered, const char* doNotTrack);
// DO_NOT_TRACK asks for no tracking unless it is unset, empty, "0" or
// "false" (any case): "1" is the convention, and any other value is read as
// the user's wish too.
bool DoNotTrackAsked(const char* doNotTrack);

// The process's answer: the switch as remembered (read once, creating
// nothing) and DO_NOT_TRACK as it is now. Any thread.
bool UsageReportsAllowed();
bool DoNotTrackAsked();
// The user's switch as remembered; on when never set.
bool UsageReportsSwitch();
// Remembers the switch for this process at once and in the key store
// (creating the product key); false when the store could not be written
// (the process still honours the new value).
bool SetUsageReportsSwitch(bool on);

// Whether the first-start notice was closed already (reads only).
bool UsageNoticeShown();
// Remembers that it was; false when the store could not be written.
bool MarkUsageNoticeShown();

// Tests: forget what the process remembered, so the store is read again.
void ForgetUsageReportsSwitchForTesting();
