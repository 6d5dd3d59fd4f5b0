#include <platform/graphics_cards.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include <platform/graphics_card_text.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

using namespace cards;

// At most limit bytes of a small file (sysfs and procfs report sizes their
// reads do not have, so the size is not asked for).
std::optional<std::string> ReadSmallFile(const fs::path& path, std::size_t limit = 4096) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(limit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(limit));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// "0x10de" as sysfs writes a PCI id.
std::optional<unsigned> ParsePciId(std::string_view text) {
  text = Trim(text);
  if (text.size() < 3 || text.size() > 6 || text.substr(0, 2) != "0x") return std::nullopt;
  const auto value = ParseNumber(text.substr(2), 16);
  if (!value) return std::nullopt;
  return static_cast<unsigned>(*value);
}

std::optional<unsigned> ReadPciId(const fs::path& path) {
  const auto text = ReadSmallFile(path, 64);
  return text ? ParsePciId(*text) : std::nullopt;
}

// Folder entries, sorted so that the cards come in a stable order.
std::vector<fs::path> SortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
    if (entries.size() > 256) break;
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The "Model:" line of each GPU's information file; the driver gives no
// memory figure there.
std::vector<GraphicsCard> NvidiaCardsFromDriverFiles(const GraphicsProbe& probe) {
  std::vector<GraphicsCard> cards;
  for (const fs::path& gpu : SortedEntries(fs::path(probe.procRoot) / "driver/nvidia/gpus")) {
    if (cards.size() >= kMaxCards) break;
    const auto text = ReadSmallFile(gpu / "information");
    if (!text) continue;
    GraphicsCard card;
    card.vendor = GraphicsVendor::Nvidia;
    card.name = "NVIDIA";
    std::string_view rest = *text;
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find('\n'), rest.size());
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(std::min(end + 1, rest.size()));
      if (line.substr(0, 6) != "Model:") continue;
      if (auto name = CheckedName(line.substr(6))) card.name = *name;
      break;
    }
    cards.push_back(std::move(card));
  }
  return cards;
}

// "card0", "card12"; not the connectors ("card0-DP-1") nor render nodes.
bool IsCardEntry(const std::string& name) {
  if (name.size() <= 4 || name.compare(0, 4, "card") != 0) return false;
  return std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The cards the kernel's display drivers list. NVIDIA's are left out when
// its own driver has already told of them.
std::vector<GraphicsCard> DrmCards(const GraphicsProbe& probe, bool withNvidia) {
  std::vector<std::pair<unsigned long, GraphicsCard>> numbered;
  for (const fs::path& entry : SortedEntries(fs::path(probe.sysRoot) / "class/drm")) {
    const std::string name = entry.filename().string();
    if (!IsCardEntry(name) || numbered.size() >= kMaxCards) continue;
    const fs::path device = entry / "device";
    const auto vendor = ReadPciId(device / "vendor");
    if (!vendor) continue;
    GraphicsCard card;
    if (*vendor == kAmdVendor) {
      card.vendor = GraphicsVendor::Amd;
      card.name = "AMD";
    } else if (*vendor == kIntelVendor) {
      card.vendor = GraphicsVendor::Intel;
      card.name = "Intel";
    } else if (*vendor == kNvidiaVendor && withNvidia) {
      card.vendor = GraphicsVendor::Nvidia;
      card.name = "NVIDIA";
    } else {
      continue;  // a virtual display or a card already told of
    }
    card.deviceId = ReadPciId(device / "device").value_or(0);
    // amdgpu says how much memory the card has; integrated graphics have
    // none of their own and the file is missing.
    if (const auto text = ReadSmallFile(device / "mem_info_vram_total", 64)) {
      const auto bytes = ParseNumber(Trim(*text), 10);
      if (bytes && *bytes <= kMaxCardMemory) card.memoryBytes = *bytes;
    }
    numbered.emplace_back(std::stoul(name.substr(4).substr(0, 9)), std::move(card));
  }
  // card10 after card9.
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<GraphicsCard> cards;
  for (auto& each : numbered) cards.push_back(std::move(each.second));
  return cards;
}

}  // namespace

std::vector<GraphicsCard> DetectGraphicsCards(const GraphicsProbe& probe) {
  std::vector<GraphicsCard> cards;
  if (auto fromProgram = NvidiaCardsFromProgram(probe.nvidiaSmi, probe.timeoutMs); fromProgram && !fromProgram->empty()) {
    cards = std::move(*fromProgram);
  } else {
    cards = NvidiaCardsFromDriverFiles(probe);
  }
  const bool nvidiaTold = !cards.empty();
  for (GraphicsCard& card : DrmCards(probe, !nvidiaTold)) {
    if (cards.size() >= kMaxCards) break;
    cards.push_back(std::move(card));
  }
  return cards;
}

}  // namespace platform
