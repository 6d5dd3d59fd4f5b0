// The cards as the drivers publish them, in made-up /sys and /proc trees laid
// out as the kernel lays them out (class entries are links into the device
// tree), with a stand-in nvidia-smi.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <platform/graphics_cards.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;
using platform::GraphicsCard;
using platform::GraphicsVendor;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A PCI device with its drm card, its render node and a connector, linked
// from class/drm as the kernel links them.
void AddPciCard(const fs::path& sys, const std::string& slot, int number, const std::string& vendor,
                const std::string& device, const std::string& vram = "") {
  const fs::path pci = sys / "devices/pci0000:00" / slot;
  WriteFile(pci / "vendor", vendor + "\n");
  WriteFile(pci / "device", device + "\n");
  if (!vram.empty()) WriteFile(pci / "mem_info_vram_total", vram + "\n");
  const std::string card = "card" + std::to_string(number);
  const std::string render = "renderD" + std::to_string(128 + number);
  const std::string connector = card + "-HDMI-A-1";
  for (const std::string& node : {card, render}) {
    fs::create_directories(pci / "drm" / node);
    fs::create_directory_symlink("../../../" + slot, pci / "drm" / node / "device");
  }
  // A connector's device is its card, which has no ids of its own.
  fs::create_directories(pci / "drm" / card / connector);
  fs::create_directory_symlink("../../" + card, pci / "drm" / card / connector / "device");
  fs::create_directories(sys / "class/drm");
  for (const std::string& node : {card, render}) {
    fs::create_directory_symlink("../../devices/pci0000:00/" + slot + "/drm/" + node,
                                 sys / "class/drm" / node);
  }
  fs::create_directory_symlink(
      "../../devices/pci0000:00/" + slot + "/drm/" + card + "/" + connector,
      sys / "class/drm" / connector);
}

// The driver's per-GPU file, as the proprietary driver writes it.
void AddNvidiaProcGpu(const fs::path& proc, const std::string& bus, const std::string& model) {
  WriteFile(proc / "driver/nvidia/gpus" / bus / "information",
            "Model: \t\t " + model +
                "\nIRQ:   \t\t 142\nGPU UUID: \t GPU-5a1c2f3e-0000-0000-0000-000000000000\n"
                "Video BIOS: \t 94.06.2f.00.9a\nBus Type: \t PCIe\nDMA Size: \t 47 bits\n"
                "DMA Mask: \t 0x7fffffffffff\nBus Location: \t " +
                bus + "\nDevice Minor: \t 0\nGPU Excluded:\t No\n");
}

GraphicsCard Card(GraphicsVendor vendor, const std::string& name, unsigned device,
                  std::uint64_t memory) {
  GraphicsCard card;
  card.vendor = vendor;
  card.name = name;
  card.deviceId = device;
  card.memoryBytes = memory;
  return card;
}

struct Machine {
  fs::path sys, proc, smi;
};

struct CardCase {
  const char* name;
  std::function<void(const Machine&)> arrange;
  std::vector<GraphicsCard> expected;
};

constexpr std::uint64_t kMiB = 1024 * 1024;

// nvidia-smi with a working driver prints one line per GPU.
const char kSmiTwoGpus[] =
    "printf 'NVIDIA GeForce RTX 3060, 12288 MiB\\nNVIDIA GeForce GTX 1650, 4096 MiB\\n'\n";
// Without the kernel module it says so and exits 9.
const char kSmiNoDriver[] =
    "echo \"NVIDIA-SMI has failed because it couldn't communicate with the NVIDIA driver. "
    "Make sure that the latest NVIDIA driver is installed and running.\"\nexit 9\n";

class GraphicsCardsTest : public ::testing::TestWithParam<CardCase> {};

TEST_P(GraphicsCardsTest, FindsWhatTheDriversPublish) {
  TempHome home;
  const Machine machine{home.root() / "sys", home.root() / "proc", home.root() / "bin/nvidia-smi"};
  fs::create_directories(machine.sys);
  fs::create_directories(machine.proc);
  GetParam().arrange(machine);
  platform::GraphicsProbe probe;
  probe.sysRoot = machine.sys.string();
  probe.procRoot = machine.proc.string();
  probe.nvidiaSmi = machine.smi.string();
  probe.timeoutMs = 300;
  EXPECT_EQ(platform::DetectGraphicsCards(probe), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, GraphicsCardsTest,
    ::testing::Values(
        CardCase{"NvidiaThroughItsProgram",
                 [](const Machine& m) {
                   WriteScript(m.smi, kSmiTwoGpus);
                   AddNvidiaProcGpu(m.proc, "0000:01:00.0", "NVIDIA GeForce RTX 3060");
                   // The same cards in drm are not counted twice.
                   AddPciCard(m.sys, "0000:01:00.0", 0, "0x10de", "0x2504");
                 },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA GeForce RTX 3060", 0, 12288 * kMiB),
                  Card(GraphicsVendor::Nvidia, "NVIDIA GeForce GTX 1650", 0, 4096 * kMiB)}},
        CardCase{"NvidiaThroughProcOnly",
                 [](const Machine& m) {
                   AddNvidiaProcGpu(m.proc, "0000:01:00.0", "NVIDIA GeForce RTX 3060");
                   AddPciCard(m.sys, "0000:01:00.0", 0, "0x10de", "0x2504");
                 },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA GeForce RTX 3060", 0, 0)}},
        CardCase{"NvidiaProgramWithoutItsDriver",
                 [](const Machine& m) {
                   WriteScript(m.smi, kSmiNoDriver);
                   AddNvidiaProcGpu(m.proc, "0000:01:00.0", "Quadro RTX 4000");
                 },
                 {Card(GraphicsVendor::Nvidia, "Quadro RTX 4000", 0, 0)}},
        CardCase{"HangingProgramIsStoppedAndProcAsked",
                 [](const Machine& m) {
                   WriteScript(m.smi, "exec sleep 60\n");
                   AddNvidiaProcGpu(m.proc, "0000:01:00.0", "NVIDIA GeForce RTX 3060");
                 },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA GeForce RTX 3060", 0, 0)}},
        CardCase{"NvidiaWithTheOpenDriverOnly",
                 [](const Machine& m) { AddPciCard(m.sys, "0000:01:00.0", 0, "0x10de", "0x1f82"); },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA", 0x1f82, 0)}},
        CardCase{"AmdWithItsMemory",
                 [](const Machine& m) {
                   AddPciCard(m.sys, "0000:03:00.0", 1, "0x1002", "0x73bf", "17163091968");
                 },
                 {Card(GraphicsVendor::Amd, "AMD", 0x73bf, 17163091968ull)}},
        CardCase{"IntelIntegratedHasNoMemoryOfItsOwn",
                 [](const Machine& m) { AddPciCard(m.sys, "0000:00:02.0", 0, "0x8086", "0x9a49"); },
                 {Card(GraphicsVendor::Intel, "Intel", 0x9a49, 0)}},
        CardCase{"IntegratedAndDiscreteInCardOrder",
                 [](const Machine& m) {
                   AddPciCard(m.sys, "0000:03:00.0", 10, "0x1002", "0x744c", "25753026560");
                   AddPciCard(m.sys, "0000:00:02.0", 9, "0x8086", "0xa780");
                   AddPciCard(m.sys, "0000:00:01.0", 2, "0x1af4", "0x1050");  // virtual
                 },
                 {Card(GraphicsVendor::Intel, "Intel", 0xa780, 0),
                  Card(GraphicsVendor::Amd, "AMD", 0x744c, 25753026560ull)}},
        CardCase{"None", [](const Machine&) {}, {}},
        CardCase{"GarbageValues",
                 [](const Machine& m) {
                   WriteScript(m.smi,
                               "printf 'Broken\\tName\\001, 8192 MiB\\nNVIDIA A2, -5 MiB\\n"
                               "NVIDIA T4, 15360MiB\\nNVIDIA L4, [N/A]\\nno comma here\\n'\n");
                   AddPciCard(m.sys, "0000:03:00.0", 1, "0x1002", "0x73bf", "12e9");
                   AddPciCard(m.sys, "0000:04:00.0", 2, "0x1002zz", "0x73bf", "1");
                   AddPciCard(m.sys, "0000:05:00.0", 3, "0x8086", "0xffffff",
                              "99999999999999999999999");
                 },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA A2", 0, 0),
                  Card(GraphicsVendor::Nvidia, "NVIDIA T4", 0, 0),
                  Card(GraphicsVendor::Nvidia, "NVIDIA L4", 0, 0),
                  Card(GraphicsVendor::Amd, "AMD", 0x73bf, 0),
                  Card(GraphicsVendor::Intel, "Intel", 0, 0)}},
        CardCase{"OverlongNameIsRefused",
                 [](const Machine& m) {
                   WriteScript(m.smi, "printf '" + std::string(200, 'X') + ", 8192 MiB\\n'\n");
                   AddNvidiaProcGpu(m.proc, "0000:01:00.0", std::string(200, 'Y'));
                 },
                 {Card(GraphicsVendor::Nvidia, "NVIDIA", 0, 0)}}),
    [](const ::testing::TestParamInfo<CardCase>& each) { return std::string(each.param.name); });

}  // namespace
