#include <install/space_text.h>

#include <utility>

#include <base/text_helpers.h>
#include <catalogue/model_catalogue.h>

namespace {

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

}  // namespace

std::wstring FormatFreeSpace(std::uint64_t bytes) {
  const double gb = static_cast<double>(bytes) / kGiB;
  if (gb > 1) return FormatWString(L"%.2f GB", gb);
  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  if (mb > 1) return FormatWString(L"%.2f MB", mb);
  if (bytes >= 1024) return FormatWString(L"%.2f KB", static_cast<double>(bytes) / 1024.0);
  return FormatWString(L"%llu B", static_cast<unsigned long long>(bytes));
}

bool MemoryIsEnough(std::uint64_t memory, std::uint64_t needed) {
  return memory + (memory / 20) >= needed;
}

std::uint64_t RequiredBytesForListIndex(int listIndex) {
  const ModelEntry* entry = ModelEntryForListIndex(listIndex);
  return entry != nullptr ? entry->downloadBytes : 0;
}

std::uint64_t RequiredMemoryForListIndex(int listIndex) {
  const ModelEntry* entry = ModelEntryForListIndex(listIndex);
  return entry != nullptr ? entry->recommendedMemoryBytes : 0;
}

std::pair<std::wstring, std::wstring> SplitRequirementText(const std::wstring& text) {
  const std::size_t at = text.find(L"内存");
  if (at == std::wstring::npos) return {};
  std::wstring first = text.substr(0, at);
  const std::wstring second = text.substr(at);
  if (const std::size_t bar = first.rfind(L'|'); bar != std::wstring::npos) first.resize(bar);
  return {first, second};
}
