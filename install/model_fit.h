#pragma once
// Where a model can run on this machine: wholly on a graphics card, in main
// memory only (on the processor), or not at all; and how the install form
// and the model list say so.
#include <cstdint>
#include <string>
#include <vector>

#include <platform/graphics_cards.h>

enum class ModelFit {
  Unknown,       // main memory unknown and no card holds it
  GraphicsCard,  // the card's own memory holds it
  MainMemory,    // runs on the processor, slowly
  TooLarge,      // neither holds it
};

// The card memory a model of this download size takes when it runs wholly
// on the card.
std::uint64_t GraphicsMemoryNeed(std::uint64_t modelBytes);
// modelBytes: the download size; memoryNeed: the main memory the model asks
// for; cardMemory and mainMemory: 0 when unknown (a card without memory of
// its own counts as none).
ModelFit FitOfModel(std::uint64_t modelBytes, std::uint64_t memoryNeed, std::uint64_t cardMemory,
                    std::uint64_t mainMemory);
// The same for a catalogue model by its list index.
ModelFit FitForListIndex(int listIndex, std::uint64_t cardMemory, std::uint64_t mainMemory);

// The card with the most memory of its own (the first of equals); null when
// there is no card.
const platform::GraphicsCard* LargestGraphicsCard(const std::vector<platform::GraphicsCard>& cards);

// The install form's line on the card for the selected model ("显卡 NVIDIA
// GeForce RTX 3060 12 GB：可用显卡加速"); card may be null.
std::wstring GraphicsCardLine(const platform::GraphicsCard* card, ModelFit fit);
// A model row's mark: "显卡可运行", "仅内存可运行", "内存不足"; empty when
// unknown.
std::wstring ModelFitTag(ModelFit fit);
