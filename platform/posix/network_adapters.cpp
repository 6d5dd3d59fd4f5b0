#include <platform/network_adapters.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "network_adapters_posix.h"

namespace platform {
namespace posix {
namespace {

constexpr long kArphrdEther = 1;

std::string ReadLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<std::uint8_t> ParseMac(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (i + 2 <= text.size()) {
    const std::string part = text.substr(i, 2);
    if (part.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {};
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(part, nullptr, 16)));
    i += 2;
    if (i < text.size()) {
      if (text[i] != ':') return {};
      ++i;
    }
  }
  return bytes;
}

}  // namespace

std::optional<std::vector<NetworkAdapter>> ListNetworkAdaptersIn(
    const std::filesystem::path& classNet, std::size_t maxAdapters) {
  std::error_code ec;
  struct Found {
    bool virtualOnly;  // no device behind it: bridges, veth, tunnels, ifb
    long index;
    NetworkAdapter adapter;
  };
  std::vector<Found> found;
  for (const auto& entry : std::filesystem::directory_iterator(classNet, ec)) {
    const auto dir = entry.path();
    NetworkAdapter adapter;
    adapter.name = dir.filename().string();
    long hardwareType = -1;
    long index = 0;
    try {
      hardwareType = std::stol(ReadLine(dir / "type"));
      index = std::stol(ReadLine(dir / "ifindex"));
    } catch (const std::exception&) {
      continue;
    }
    const bool wireless = std::filesystem::exists(dir / "wireless", ec) ||
                          std::filesystem::exists(dir / "phy80211", ec);
    if (hardwareType == kArphrdEther) {
      adapter.type = wireless ? kAdapterTypeWireless : kAdapterTypeEthernet;
    }
    adapter.address = ParseMac(ReadLine(dir / "address"));
    std::error_code deviceError;
    const bool virtualOnly = !std::filesystem::exists(dir / "device", deviceError);
    found.push_back({virtualOnly, index, std::move(adapter)});
  }
  if (ec || found.size() > maxAdapters) return std::nullopt;
  // Interfaces backed by hardware come first: virtual ones come and go, and
  // the first Ethernet adapter names the machine.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return std::tie(a.virtualOnly, a.index) < std::tie(b.virtualOnly, b.index);
  });
  std::vector<NetworkAdapter> adapters;
  for (Found& entry : found) adapters.push_back(std::move(entry.adapter));
  return adapters;
}

}  // namespace posix

std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters(std::size_t maxAdapters) {
  return posix::ListNetworkAdaptersIn("/sys/class/net", maxAdapters);
}

}  // namespace platform
