#pragma once
// What the install steps share: their outcomes, the words they fill in, and
// taking back a folder that is ours.
#include <string>

#include <install/install_steps.h>

namespace install_step {

// How long a step waits for our runner server to answer a question.
inline constexpr long kRunnerAskTimeoutMs = 5000;

// A translated format with one piece in its place.
std::wstring Fill(const std::wstring& format, const std::wstring& piece);

StepOutcome Done(std::wstring text);
StepOutcome Failed(std::wstring text);

// Whether anything, a link too, is at path.
bool Exists(const std::wstring& path);

// What the record says we made at and below path goes; anything else
// stays and is named.
StepOutcome RemoveRecordedFolder(const std::wstring& path);

// A folder of our product's own name in our per-user data or settings
// place, with everything in it; it is ours as a whole.
StepOutcome RemoveOurFolder(const std::wstring& path, std::wstring removed);

}  // namespace install_step
