#pragma once
// `tidewell --update`: the manage page's "更新" from a terminal or a
// script. It asks the vendor service which package is current, finishes an
// update broken off earlier, and updates when the package named is newer,
// printing a line for each stage and the outcome.
#include <istream>
#include <ostream>

// Exit codes.
inline constexpr int kUpdateDone = 0;    // updated, or already the newest
inline constexpr int kUpdateFailed = 1;  // not updated: rolled back, no answer, the window open

int RunUpdateCommand(std::istream& in, std::ostream& out);
