#pragma once
// Disk space and memory as the install form shows them, and what each model
// needs.
#include <cstdint>
#include <string>
#include <utility>

// "98.05 GB", "512.00 MB", "12.00 KB" or "300 B".
std::wstring FormatFreeSpace(std::uint64_t bytes);
// The model's download size in bytes, as the catalogue gives it; 0 out of
// range.
std::uint64_t RequiredBytesForListIndex(int listIndex);
// The memory the model asks for in bytes, as the catalogue gives it; 0 out of
// range.
std::uint64_t RequiredMemoryForListIndex(int listIndex);
// Whether a machine with this much memory runs a model that asks for
// needed (the kernel keeps about 5 % of the total for itself).
bool MemoryIsEnough(std::uint64_t memory, std::uint64_t needed);
// The requirement text split at "内存" into the part before it (cut at its
// last "|") and the rest, for showing on two lines; both empty without "内存".
std::pair<std::wstring, std::wstring> SplitRequirementText(const std::wstring& text);
