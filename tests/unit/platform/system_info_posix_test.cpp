#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include <platform/disk_space.h>
#include <platform/instance_lock.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <platform/posix/machine_id_posix.h>
#include <platform/posix/network_adapters_posix.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

void WriteLine(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text << "\n";
}

void FakeAdapter(const fs::path& root, const std::string& name, int type, int index,
                 const std::string& mac, bool wireless = false, bool device = false) {
  WriteLine(root / name / "type", std::to_string(type));
  WriteLine(root / name / "ifindex", std::to_string(index));
  WriteLine(root / name / "address", mac);
  if (wireless) fs::create_directories(root / name / "wireless");
  if (device) fs::create_directories(root / name / "device");
}

TEST(MachineId, FirstNonEmptyCandidateWins) {
  TempHome home;
  WriteLine(home.root() / "empty", "");
  WriteLine(home.root() / "id", "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(platform::posix::ReadMachineIdFrom(
                {home.root() / "missing", home.root() / "empty", home.root() / "id"}),
            "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(platform::posix::ReadMachineIdFrom({home.root() / "missing"}), "");
}

TEST(NetworkAdapters, OrderedByIndexWithTypesAndLimit) {
  TempHome home;
  const fs::path net = home.root() / "net";
  FakeAdapter(net, "lo", 772, 1, "00:00:00:00:00:00");
  FakeAdapter(net, "wlan0", 1, 2, "aa:bb:cc:dd:ee:ff", true);
  FakeAdapter(net, "eth0", 1, 3, "00:1a:2b:3c:4d:5e");
  const auto adapters = platform::posix::ListNetworkAdaptersIn(net, 16);
  ASSERT_TRUE(adapters.has_value());
  ASSERT_EQ(adapters->size(), 3u);
  EXPECT_EQ((*adapters)[0].type, platform::kAdapterTypeOther);
  EXPECT_EQ((*adapters)[1].type, platform::kAdapterTypeWireless);
  EXPECT_EQ((*adapters)[2].type, platform::kAdapterTypeEthernet);
  EXPECT_EQ((*adapters)[2].address,
            (std::vector<std::uint8_t>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
  EXPECT_FALSE(platform::posix::ListNetworkAdaptersIn(net, 2).has_value());
}

TEST(NetworkAdapters, AdaptersBackedByADeviceComeBeforeVirtualOnes) {
  TempHome home;
  const fs::path net = home.root() / "net";
  FakeAdapter(net, "lo", 772, 1, "00:00:00:00:00:00");
  FakeAdapter(net, "ifb0", 1, 2, "9e:00:00:00:00:01");     // down, virtual
  FakeAdapter(net, "docker0", 1, 3, "02:42:00:00:00:01");  // bridge
  FakeAdapter(net, "enp3s0", 1, 7, "00:1a:2b:3c:4d:5e", false, true);
  FakeAdapter(net, "wlp2s0", 1, 4, "aa:bb:cc:dd:ee:ff", true, true);
  const auto adapters = platform::posix::ListNetworkAdaptersIn(net, 16);
  ASSERT_TRUE(adapters.has_value());
  std::vector<std::string> names;
  for (const auto& adapter : *adapters) names.push_back(adapter.name);
  EXPECT_EQ(names, (std::vector<std::string>{"wlp2s0", "enp3s0", "lo", "ifb0", "docker0"}));
  // The first Ethernet adapter, which names the machine, is the real one.
  const auto first = std::find_if(adapters->begin(), adapters->end(), [](const auto& a) {
    return a.type == platform::kAdapterTypeEthernet;
  });
  ASSERT_NE(first, adapters->end());
  EXPECT_EQ(first->name, "enp3s0");
}

TEST(DiskSpace, MeasuresTheNearestExistingFolder) {
  TempHome home;
  const auto existing = platform::FreeDiskSpace(platform::WidePath(home.root()));
  const auto future = platform::FreeDiskSpace(platform::WidePath(home.root() / "a" / "b c"));
  ASSERT_TRUE(existing.has_value());
  ASSERT_TRUE(future.has_value());
  EXPECT_GT(*existing, 0u);
  EXPECT_NEAR(static_cast<double>(*existing), static_cast<double>(*future), 64.0 * 1024 * 1024);
}

TEST(InstanceLock, SecondHolderInAnotherProcessIsRefused) {
  TempHome home;
  std::unique_ptr<platform::InstanceLock> lock;
  ASSERT_EQ(platform::AcquireInstanceLock(L"test-lock", &lock),
            platform::InstanceLockResult::Acquired);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<platform::InstanceLock> other;
    ::_exit(platform::AcquireInstanceLock(L"test-lock", &other) ==
                    platform::InstanceLockResult::AlreadyHeld
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  lock.reset();
  ASSERT_EQ(platform::AcquireInstanceLock(L"test-lock", &lock),
            platform::InstanceLockResult::Acquired);
}

TEST(OsInfo, NamesOnThisSystem) {
  EXPECT_EQ(platform::OsName(), "linux");
  EXPECT_EQ(platform::ExecutableSuffix(), L"");
}

}  // namespace
