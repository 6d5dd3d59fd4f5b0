#pragma once
// Our runner's model answers once: the installation, a model row, repair
// and an update all ask the same way.
#include <functional>
#include <string>
#include <vector>

#include <install/first_answer.h>
#include <install/install_layout.h>

// The limit for a model (UTF-8 tag): by its catalogue size, or the base
// limit for a model the catalogue does not know.
long AnswerLimitForTag(const std::string& tag);

// The model a repair or an update asks: the one the ready page shows when
// the runner lists it, else the first catalogue model listed, else the
// first listed; empty when nothing is listed.
std::string ModelToCheck(const std::vector<std::string>& listed);

// Finds or starts our server below the layout (NoServer when it does not
// answer within serverTimeoutMs), then asks the model's first answer.
FirstAnswer AskOurRunner(const InstallLayout& layout, const std::string& tag, int serverTimeoutMs,
                         long limitMs, const std::function<bool(long long waitedMs)>& onTick);
