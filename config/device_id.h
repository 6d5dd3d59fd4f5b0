#pragma once
// The device identifier the service tells installations apart by: the MD5 of
// the machine identifier followed by the first Ethernet adapter's address.
#include <optional>
#include <string>
#include <vector>

#include <platform/network_adapters.h>

std::string ComputeDeviceId();
std::string ReadMachineGuid();
std::string ReadPrimaryMac();

// The address of the first Ethernet adapter with a 6-byte address, as 12
// lowercase hex digits; empty when there is none or the list failed.
std::string PrimaryMacOf(const std::optional<std::vector<platform::NetworkAdapter>>& adapters);
std::string DeviceIdOf(const std::string& machineGuid, const std::string& primaryMac);
