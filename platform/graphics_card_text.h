#pragma once
// Shared by the graphics card backends: the vendors' PCI ids, the checks a
// figure or name passes before it is believed, and nvidia-smi's answer.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <platform/graphics_cards.h>

namespace platform::cards {

inline constexpr unsigned kNvidiaVendor = 0x10de;
inline constexpr unsigned kAmdVendor = 0x1002;
inline constexpr unsigned kIntelVendor = 0x8086;
// More than any machine carries; a stand-in printing for ever is cut here.
inline constexpr std::size_t kMaxCards = 16;
// A figure above this is not a card's memory but a broken file (1 TiB).
inline constexpr std::uint64_t kMaxCardMemory = 1ull << 40;

std::string_view Trim(std::string_view text);
// Every digit used, nothing else; nullopt for anything else (signs, spaces
// inside, overflow).
std::optional<std::uint64_t> ParseNumber(std::string_view text, int base);
// A name fit to be shown: printable ASCII, not empty, not too long.
std::optional<std::string> CheckedName(std::string_view text);

// The cards nvidia-smi (program: a path or a name searched on PATH) tells
// of; nullopt when it is missing, fails or hangs past the probe's limit.
std::optional<std::vector<GraphicsCard>> NvidiaCardsFromProgram(const std::string& program,
                                                                int timeoutMs);

}  // namespace platform::cards
