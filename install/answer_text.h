#pragma once
// What the window says about a model's first answer: the line while it
// loads, the short line on the ready page and in a row, the whole sentence
// with the way out, and which smaller model would fit where memory ran out.
#include <cstdint>
#include <string>

#include <install/first_answer.h>

// "正在加载模型，第一次需要一些时间… 12 秒"
std::wstring AnswerLoadingLine(long long waitedMs);
// "首次回答用时 2.3 秒", or the failure in a few words.
std::wstring AnswerShortLine(const FirstAnswer& answer);
// The failure as a sentence: its cause, the runner's figures where it gave
// them, and what the user can do. Empty for an answer.
std::wstring AnswerFailureText(const FirstAnswer& answer, long limitMs);

// A figure as the runner writes it ("15.3 GiB", "512 MiB", "900 B"); 0 when
// it is not one.
std::uint64_t RunnerFigureBytes(const std::string& figure);
// The largest catalogue model smaller than the one that did not fit
// (list index) whose memory need, scaled from the runner's own figure for
// the failed one, fits in what the runner said is available; -1: none.
int LargestModelThatFits(int failedListIndex, const FirstAnswer& answer);

// The event that reports the outcome.
const char* AnswerEventName(FirstAnswerCause cause);
