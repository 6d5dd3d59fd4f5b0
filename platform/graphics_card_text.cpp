// What both backends read from NVIDIA's own tool and how card figures are
// checked before they are believed.
#include "graphics_card_text.h"

#include <charconv>
#include <chrono>

#include <platform/process.h>

namespace platform::cards {
namespace {

constexpr std::size_t kMaxNameLength = 96;
constexpr std::size_t kMaxProgramOutput = 64 * 1024;
constexpr std::uint64_t kMiB = 1024 * 1024;

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

}  // namespace

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text, int base) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::string> CheckedName(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > kMaxNameLength) return std::nullopt;
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e) return std::nullopt;
  }
  return std::string(text);
}

std::optional<std::vector<GraphicsCard>> NvidiaCardsFromProgram(const std::string& program,
                                                                int timeoutMs) {
  const auto output =
      RunWithin({program, "--query-gpu=name,memory.total", "--format=csv,noheader"}, timeoutMs);
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

}  // namespace platform::cards
