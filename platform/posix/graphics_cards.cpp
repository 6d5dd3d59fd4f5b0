#include <platform/graphics_cards.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include <platform/process.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr unsigned kNvidiaVendor = 0x10de;
constexpr unsigned kAmdVendor = 0x1002;
constexpr unsigned kIntelVendor = 0x8086;
// More than any machine carries; a stand-in printing for ever is cut here.
constexpr std::size_t kMaxCards = 16;
constexpr std::size_t kMaxNameLength = 96;
constexpr std::size_t kMaxProgramOutput = 64 * 1024;
// A figure above this is not a card's memory but a broken file (1 TiB).
constexpr std::uint64_t kMaxCardMemory = 1ull << 40;
constexpr std::uint64_t kMiB = 1024 * 1024;

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

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

// Every digit used, nothing else; nullopt for anything else (signs, spaces
// inside, overflow).
std::optional<std::uint64_t> ParseNumber(std::string_view text, int base) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "0x10de" as sysfs writes a PCI id.
std::optional<unsigned> ParsePciId(std::string_view text) {
  text = Trim(text);
  if (text.size() < 3 || text.size() > 6 || text.substr(0, 2) != "0x") return std::nullopt;
  const auto value = ParseNumber(text.substr(2), 16);
  if (!value) return std::nullopt;
  return static_cast<unsigned>(*value);
}

// A name fit to be shown: printable ASCII, not empty, not too long.
std::optional<std::string> CheckedName(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > kMaxNameLength) return std::nullopt;
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e) return std::nullopt;
  }
  return std::string(text);
}

std::optional<unsigned> ReadPciId(const fs::path& path) {
  const auto text = ReadSmallFile(path, 64);
  return text ? ParsePciId(*text) : std::nullopt;
}

// "NVIDIA GeForce RTX 3060, 12288 MiB": the name, then the memory in MiB
// ("[N/A]" and the like when the driver does not tell: unknown).
std::optional<GraphicsCard> ParseNvidiaSmiLine(std::string_view line) {
  const std::size_t comma = line.rfind(", ");
  if (comma == std::string_view::npos) return std::nullopt;
  const auto name = CheckedName(line.substr(0, comma));
  if (!name) return std::nullopt;
  GraphicsCard card;
  card.vendor = GraphicsVendor::Nvidia;
  card.name = *name;
  std::string_view memory = Trim(line.substr(comma + 2));
  constexpr std::string_view kUnit = " MiB";
  if (memory.size() > kUnit.size() && memory.substr(memory.size() - kUnit.size()) == kUnit) {
    const auto mib = ParseNumber(memory.substr(0, memory.size() - kUnit.size()), 10);
    if (mib && *mib <= kMaxCardMemory / kMiB) card.memoryBytes = *mib * kMiB;
  }
  return card;
}

// The program's whole output when it ends well within the time limit.
std::optional<std::string> RunWithin(const std::vector<std::string>& argv, int timeoutMs) {
  auto pipe = StartWithOutputPipe(argv);
  if (!pipe) return std::nullopt;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string output;
  char buffer[4096];
  bool complete = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    const long got = pipe->ReadSome(buffer, sizeof buffer, static_cast<int>(left));
    if (got < 0) {
      complete = true;
      break;
    }
    output.append(buffer, static_cast<std::size_t>(got));
    if (output.size() > kMaxProgramOutput) break;
  }
  if (!complete) pipe->Kill();
  const int exitCode = pipe->Close();
  if (!complete || exitCode != 0) return std::nullopt;
  return output;
}

// nullopt when nvidia-smi is missing, fails or hangs: the driver's files
// are asked then.
std::optional<std::vector<GraphicsCard>> NvidiaCardsFromProgram(const GraphicsProbe& probe) {
  const auto output = RunWithin(
      {probe.nvidiaSmi, "--query-gpu=name,memory.total", "--format=csv,noheader"}, probe.timeoutMs);
  if (!output) return std::nullopt;
  std::vector<GraphicsCard> cards;
  std::size_t start = 0;
  while (start < output->size() && cards.size() < kMaxCards) {
    std::size_t end = output->find('\n', start);
    if (end == std::string::npos) end = output->size();
    if (auto card = ParseNvidiaSmiLine(std::string_view(*output).substr(start, end - start))) {
      cards.push_back(std::move(*card));
    }
    start = end + 1;
  }
  return cards;
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
  if (auto fromProgram = NvidiaCardsFromProgram(probe); fromProgram && !fromProgram->empty()) {
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
