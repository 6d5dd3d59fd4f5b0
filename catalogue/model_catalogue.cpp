#include <catalogue/model_catalogue.h>

namespace {

// Tenths of a GiB, rounded to the nearest byte, as "1.1GB" reads.
constexpr std::uint64_t TenthsOfGiB(std::uint64_t tenths) {
  return (tenths * (1ull << 30) + 5) / 10;
}
constexpr std::uint64_t GiB(std::uint64_t count) { return count << 30; }

constexpr std::array<ModelEntry, kModelCount> kCatalogue = {{
    {0, 1, L"deepseek-r1:1.5b", L"DeepSeek - R1 - 1.5B (推荐)", L"1.1GB",
     L"大小 1.10GB | CPU 4核 | 内存 8GB+ | 显示 非必须", TenthsOfGiB(11), GiB(8)},
    {1, 2, L"deepseek-r1:7b", L"DeepSeek - R1 - 7B", L"4.7GB",
     L"大小 4.70GB | CPU 4核 | 内存 24GB+ | 显示 非必须", TenthsOfGiB(47), GiB(24)},
    {2, 3, L"deepseek-r1:8b", L"DeepSeek - R1 - 8B", L"4.9GB",
     L"大小 4.90GB | CPU 8核 | 内存 32GB+ | 显示 非必须", TenthsOfGiB(49), GiB(32)},
    {3, 4, L"deepseek-r1:14b", L"DeepSeek - R1 - 14B", L"9.0GB",
     L"大小 9.00GB | CPU 8核 | 内存 32GB+ | 显示 16GB+", TenthsOfGiB(90), GiB(32)},
    {4, 5, L"deepseek-r1:32b", L"DeepSeek - R1 - 32B", L"20GB",
     L"大小 20.00GB | CPU 8核 | 内存 32GB+ | 显示 24GB+", TenthsOfGiB(200), GiB(32)},
    {5, 6, L"deepseek-r1:70b", L"DeepSeek - R1 - 70B", L"43GB",
     L"大小 43.00GB | CPU 16核 | 内存 64GB+ | 显示 32GB+", TenthsOfGiB(430), GiB(64)},
    {6, 7, L"deepseek-r1:671b", L"DeepSeek - R1 - 671B", L"404GB",
     L"大小 404.00GB | CPU 32核 | 内存 512GB+ | 显示 32GB+", TenthsOfGiB(4040), GiB(512)},
}};

// Size markers in the order they are tested: the first found decides.
constexpr std::array<std::wstring_view, kModelCount> kSizeMarkers = {
    L"1.5b", L"7b", L"8b", L"14b", L"32b", L"70b", L"671b"};

}  // namespace

const std::array<ModelEntry, kModelCount>& ModelCatalogue() { return kCatalogue; }

const ModelEntry* ModelEntryForListIndex(int listIndex) {
  for (const ModelEntry& entry : kCatalogue) {
    if (entry.listIndex == listIndex) return &entry;
  }
  return nullptr;
}

std::wstring ModelTagForListIndex(int listIndex) {
  const ModelEntry* entry = ModelEntryForListIndex(listIndex);
  return entry != nullptr ? std::wstring(entry->tag) : std::wstring();
}

std::wstring ModelTagForRow(int row) {
  for (const ModelEntry& entry : kCatalogue) {
    if (entry.row == row) return std::wstring(entry.tag);
  }
  return {};
}

std::wstring ModelTagForNumber(std::string_view number) {
  for (const ModelEntry& entry : kCatalogue) {
    if (number == std::to_string(entry.row)) return std::wstring(entry.tag);
  }
  return {};
}

std::wstring RequirementTextForListIndex(int listIndex) {
  const ModelEntry* entry = ModelEntryForListIndex(listIndex);
  return entry != nullptr ? std::wstring(entry->requirementText) : std::wstring();
}

std::wstring SizeTextForListIndex(int listIndex) {
  const ModelEntry* entry = ModelEntryForListIndex(listIndex);
  return entry != nullptr ? std::wstring(entry->sizeText) : std::wstring();
}

std::string ModelIndexOf(std::wstring_view modelName) {
  for (std::size_t i = 0; i < kSizeMarkers.size(); ++i) {
    if (modelName.find(kSizeMarkers[i]) != std::wstring_view::npos) return std::to_string(i + 1);
  }
  return {};
}

std::string CatalogueNumberOfTag(std::string_view modelName) {
  for (const ModelEntry& entry : ModelCatalogue()) {
    // Tags are ASCII: compare them unit by unit.
    if (entry.tag.size() != modelName.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < modelName.size() && same; ++i) {
      same = static_cast<wchar_t>(static_cast<unsigned char>(modelName[i])) == entry.tag[i];
    }
    if (same) return std::to_string(entry.row);
  }
  return std::string();
}
