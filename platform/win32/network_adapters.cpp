// The adapter list from GetAdaptersAddresses. Hyper-V, VPN and virtual
// machine adapters also call themselves Ethernet; the interface table knows
// which ones a device backs, and those come first.
#include <platform/network_adapters.h>

// winsock2 before windows.h, as iphlpapi wants.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <algorithm>

#include <platform/utf.h>

namespace platform {
namespace {

std::uint32_t AdapterType(IFTYPE type) {
  if (type == IF_TYPE_ETHERNET_CSMACD) return kAdapterTypeEthernet;
  if (type == IF_TYPE_IEEE80211) return kAdapterTypeWireless;
  return kAdapterTypeOther;
}

bool BackedByDevice(const IP_ADAPTER_ADDRESSES& adapter) {
  MIB_IF_ROW2 row{};
  row.InterfaceLuid = adapter.Luid;
  if (GetIfEntry2(&row) != NO_ERROR) return false;
  return row.InterfaceAndOperStatusFlags.HardwareInterface != FALSE;
}

}  // namespace

std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters(std::size_t maxAdapters) {
  constexpr ULONG kFlags = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST |
                           GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  std::vector<std::uint8_t> buffer(16 * 1024);
  ULONG size = 0;
  ULONG status = ERROR_BUFFER_OVERFLOW;
  // Adapters may come and go between the calls: a few tries, then give up.
  for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
    size = static_cast<ULONG>(buffer.size());
    status = GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    if (status == ERROR_BUFFER_OVERFLOW) buffer.resize(size);
  }
  if (status == ERROR_NO_DATA) return std::vector<NetworkAdapter>{};
  if (status != NO_ERROR) return std::nullopt;

  struct Found {
    bool virtualOnly;
    NetworkAdapter adapter;
  };
  std::vector<Found> found;
  for (auto* entry = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
       entry != nullptr; entry = entry->Next) {
    NetworkAdapter adapter;
    adapter.name = entry->FriendlyName != nullptr ? WideToUtf8(entry->FriendlyName) : "";
    adapter.type = AdapterType(entry->IfType);
    const ULONG length = std::min<ULONG>(entry->PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    adapter.address.assign(entry->PhysicalAddress, entry->PhysicalAddress + length);
    found.push_back({!BackedByDevice(*entry), std::move(adapter)});
  }
  if (found.size() > maxAdapters) return std::nullopt;
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.virtualOnly < b.virtualOnly; });
  std::vector<NetworkAdapter> adapters;
  for (Found& entry : found) adapters.push_back(std::move(entry.adapter));
  return adapters;
}

}  // namespace platform
