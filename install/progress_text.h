#pragma once
// What a person reads while something downloads: done of total, speed and
// time left, or the phase the runner is in, in the window's language (UTF-8).
#include <string>

#include <install/pull_progress.h>

// A model pull; tag may be empty (the row already names the model).
std::string PullProgressText(const std::string& tag, const PullProgress& progress);
// The same for a model row in the list: the row is narrow and its bar shows
// the share, so the line holds only what moves or the phase, in a few words.
std::string PullRowProgressText(const PullProgress& progress);
// The package download; total 0 when not announced, speed in bytes/s.
std::string PackageProgressText(long long done, long long total, double bytesPerSecond);
// "2 分 10 秒" style time for a number of seconds.
std::string DurationText(long long seconds);
