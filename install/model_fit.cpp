#include <install/model_fit.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/space_text.h>

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
// A longer name would push the verdict out of the info panel.
constexpr std::size_t kShownNameLength = 32;

// "NVIDIA GeForce RTX 3060 12 GB", or the name alone when the card's own
// memory is not known.
std::wstring CardText(const platform::GraphicsCard& card) {
  std::string name = card.name;
  if (name.size() > kShownNameLength) name = name.substr(0, kShownNameLength - 3) + "...";
  if (card.memoryBytes == 0) {
    return FormatWString(TW_TR("ModelFit", "显卡 %ls").c_str(), Utf8ToWide(name).c_str());
  }
  return FormatWString(TW_TR("ModelFit", "显卡 %ls %.0f GB").c_str(), Utf8ToWide(name).c_str(),
                       static_cast<double>(card.memoryBytes) / kGiB);
}

}  // namespace

// As the runner decides: it keeps 457 MiB of every card free for the
// driver (Ollama's DeviceInfo.MinimumMemory, ml/device.go) and offloads the
// whole model only when the weights, the context's cache and the compute
// buffers fit the rest. The weights are the download; cache and buffers
// are taken as a fifth of them, about what a default context needs.
std::uint64_t GraphicsMemoryNeed(std::uint64_t modelBytes) {
  if (modelBytes == 0) return 0;
  return modelBytes + modelBytes / 5 + 457 * kMiB;
}

ModelFit FitOfModel(std::uint64_t modelBytes, std::uint64_t memoryNeed, std::uint64_t cardMemory,
                    std::uint64_t mainMemory) {
  if (modelBytes != 0 && cardMemory != 0 && cardMemory >= GraphicsMemoryNeed(modelBytes)) {
    return ModelFit::GraphicsCard;
  }
  if (mainMemory == 0 || memoryNeed == 0) return ModelFit::Unknown;
  return MemoryIsEnough(mainMemory, memoryNeed) ? ModelFit::MainMemory : ModelFit::TooLarge;
}

ModelFit FitForListIndex(int listIndex, std::uint64_t cardMemory, std::uint64_t mainMemory) {
  return FitOfModel(RequiredBytesForListIndex(listIndex), RequiredMemoryForListIndex(listIndex),
                    cardMemory, mainMemory);
}

const platform::GraphicsCard* LargestGraphicsCard(
    const std::vector<platform::GraphicsCard>& cards) {
  const platform::GraphicsCard* largest = nullptr;
  for (const platform::GraphicsCard& card : cards) {
    if (largest == nullptr || card.memoryBytes > largest->memoryBytes) largest = &card;
  }
  return largest;
}

std::wstring GraphicsCardLine(const platform::GraphicsCard* card, ModelFit fit) {
  // Only a card whose own memory is known can be weighed against the model.
  const bool weighed = card != nullptr && card->memoryBytes != 0;
  switch (fit) {
    case ModelFit::GraphicsCard:
      return card != nullptr ? FormatWString(TW_TR("ModelFit", "%ls：可用显卡加速").c_str(),
                                             CardText(*card).c_str())
                             : std::wstring();
    case ModelFit::MainMemory:
      return weighed ? FormatWString(
                           TW_TR("ModelFit", "%ls 显存不足，将使用 CPU 运行，速度较慢").c_str(),
                           CardText(*card).c_str())
                     : TW_TR("ModelFit", "将使用 CPU 运行，速度较慢");
    case ModelFit::TooLarge:
      return weighed ? FormatWString(TW_TR("ModelFit", "%ls：显存不足").c_str(),
                                     CardText(*card).c_str())
                     : std::wstring();
    case ModelFit::Unknown:
      break;
  }
  return {};
}

std::wstring ModelFitTag(ModelFit fit) {
  switch (fit) {
    case ModelFit::GraphicsCard:
      return TW_TR("ModelFit", "显卡可运行");
    case ModelFit::MainMemory:
      return TW_TR("ModelFit", "仅内存可运行");
    case ModelFit::TooLarge:
      return TW_TR("ModelFit", "内存不足");
    case ModelFit::Unknown:
      break;
  }
  return {};
}
