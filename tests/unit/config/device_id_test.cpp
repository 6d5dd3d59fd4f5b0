#include <gtest/gtest.h>

#include <config/device_id.h>

namespace {

using platform::NetworkAdapter;

NetworkAdapter Adapter(std::uint32_t type, std::vector<std::uint8_t> address) {
  return NetworkAdapter{"if", type, std::move(address)};
}

const std::vector<std::uint8_t> kEthernetMac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const std::string kGuid = "6f1e5c0a-3b2d-4e8f-9a7c-1d2e3f4a5b6c";

TEST(DeviceId, GuidFollowedByFirstEthernetMac) {
  const std::vector<NetworkAdapter> adapters = {
      Adapter(platform::kAdapterTypeWireless, {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff}),
      Adapter(platform::kAdapterTypeEthernet, {1, 2, 3}),  // not a 6-byte address
      Adapter(platform::kAdapterTypeEthernet, kEthernetMac),
      Adapter(platform::kAdapterTypeEthernet, {9, 9, 9, 9, 9, 9}),
  };
  const std::string mac = PrimaryMacOf(adapters);
  EXPECT_EQ(mac, "001a2b3c4d5e");
  EXPECT_EQ(DeviceIdOf(kGuid, mac), "d0991f01a35b9c575ae58e2f96c27641");
}

TEST(DeviceId, MissingPartsAreLeftOut) {
  EXPECT_EQ(PrimaryMacOf(std::nullopt), "");  // the list did not fit
  EXPECT_EQ(PrimaryMacOf(std::vector<NetworkAdapter>{}), "");
  EXPECT_EQ(DeviceIdOf(kGuid, ""), "8e80e8b1372bcdc852ad6efbe4f45bd2");
  EXPECT_EQ(DeviceIdOf("", ""), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(DeviceId, StableAndWellFormedOnThisMachine) {
  const std::string id = ComputeDeviceId();
  EXPECT_EQ(id, ComputeDeviceId());
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
