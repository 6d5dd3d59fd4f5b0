#pragma once
// The seven DeepSeek-R1 sizes the assistant offers, always in this order.
// Three numberings: list index 0..6 (the drop-down), row 1..7 (the model
// list page), and the catalogue number "1".."7" (equal to the row).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct ModelEntry {
  int listIndex;
  int row;
  std::wstring_view tag;
  std::wstring_view listItemText;
  // The two texts are only shown; what the program decides on is the numbers
  // below, which say the same (a test holds them together).
  std::wstring_view sizeText;
  std::wstring_view requirementText;
  std::uint64_t downloadBytes;
  std::uint64_t recommendedMemoryBytes;
};

inline constexpr int kModelCount = 7;
inline constexpr int kDefaultModelListIndex = 0;

const std::array<ModelEntry, kModelCount>& ModelCatalogue();
// The entry at a list index; nullptr out of range.
const ModelEntry* ModelEntryForListIndex(int listIndex);

std::wstring ModelTagForListIndex(int listIndex);
std::wstring ModelTagForRow(int row);
std::wstring ModelTagForNumber(std::string_view number);
std::wstring RequirementTextForListIndex(int listIndex);
std::wstring SizeTextForListIndex(int listIndex);
// The catalogue number of a runner model name, decided by the first size
// marker found in it; empty when none is.
std::string ModelIndexOf(std::wstring_view modelName);
// The catalogue number of a runner model name that is exactly one of the
// catalogue's tags (UTF-8, compared as given); empty for any other name.
std::string CatalogueNumberOfTag(std::string_view modelName);
