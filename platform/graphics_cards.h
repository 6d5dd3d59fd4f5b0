#pragma once
// The machine's graphics cards and their own memory, for telling whether a
// model can run on a card. Reads what the drivers publish; runs at most one
// outside program (NVIDIA's nvidia-smi), within a time limit.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class GraphicsVendor { Nvidia, Amd, Intel };

struct GraphicsCard {
  GraphicsVendor vendor = GraphicsVendor::Nvidia;
  // As the driver names it ("NVIDIA GeForce RTX 3060"), else the vendor's
  // name; printable ASCII only.
  std::string name;
  // The PCI device id; 0 when not known.
  unsigned deviceId = 0;
  // Dedicated memory in bytes; 0 when unknown or when the card shares main
  // memory (integrated graphics).
  std::uint64_t memoryBytes = 0;

  bool operator==(const GraphicsCard&) const = default;
};

// Where the cards are looked for. Tests point these at a made-up tree and a
// stand-in program.
struct GraphicsProbe {
  std::string sysRoot = "/sys";
  std::string procRoot = "/proc";
  // Found on PATH unless it holds a "/".
  std::string nvidiaSmi = "nvidia-smi";
  // A hung driver can keep nvidia-smi waiting for minutes: it is ended then.
  int timeoutMs = 5000;
};

// Every card found, NVIDIA's first (nvidia-smi, or the driver's /proc files
// without it), then the others of /sys/class/drm in card order. Blocks up to
// the probe's time limit: call it off the window thread.
std::vector<GraphicsCard> DetectGraphicsCards(const GraphicsProbe& probe = {});

}  // namespace platform
