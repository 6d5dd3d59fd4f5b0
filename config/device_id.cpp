#include <config/device_id.h>

#include <cstdio>

#include <config/md5.h>
#include <platform/machine_id.h>

namespace {
// Room for 16 adapter records: a machine with more gets no MAC part.
constexpr std::size_t kMaxAdapters = 16;
}  // namespace

std::string ReadMachineGuid() { return platform::ReadMachineId(); }

std::string PrimaryMacOf(const std::optional<std::vector<platform::NetworkAdapter>>& adapters) {
  if (!adapters) return {};
  for (const auto& adapter : *adapters) {
    if (adapter.type != platform::kAdapterTypeEthernet || adapter.address.size() != 6) continue;
    const auto& a = adapter.address;
    char text[13];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    return text;
  }
  return {};
}

std::string ReadPrimaryMac() { return PrimaryMacOf(platform::ListNetworkAdapters(kMaxAdapters)); }

std::string DeviceIdOf(const std::string& machineGuid, const std::string& primaryMac) {
  return Md5Hex(machineGuid + primaryMac);
}

std::string ComputeDeviceId() { return DeviceIdOf(ReadMachineGuid(), ReadPrimaryMac()); }
