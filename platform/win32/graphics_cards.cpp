// NVIDIA's cards as nvidia-smi tells of them (its driver installs it on
// PATH, older drivers only in their own folder); every other card as DXGI
// lists the display adapters.
#include <platform/graphics_cards.h>

#include <windows.h>
#include <dxgi.h>

#include <platform/graphics_card_text.h>
#include <platform/os_encoding.h>

namespace platform {
namespace {

using namespace cards;

constexpr unsigned kMicrosoftVendor = 0x1414;  // the software renderer
// Integrated graphics report the few hundred MiB the firmware set aside as
// their "dedicated" memory; it is main memory all the same.
constexpr std::uint64_t kLeastOwnMemory = 512ull * 1024 * 1024;

bool HasFolderPart(const std::string& program) {
  return program.find_first_of("\\/:") != std::string::npos;
}

// The program to run: as given when it is a path, else found on PATH, else
// in the driver's own folder; empty when nowhere.
std::string NvidiaSmiProgram(const std::string& program) {
  if (HasFolderPart(program)) return program;
  const std::wstring name = OsNarrowToWide(program);
  wchar_t found[MAX_PATH];
  const DWORD length = ::SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (length > 0 && length < MAX_PATH) return WideToOsNarrow(std::wstring(found, length));
  wchar_t programFiles[MAX_PATH];
  const DWORD folderLength =
      ::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) return {};
  const std::wstring inDriverFolder = std::wstring(programFiles, folderLength) +
                                      L"\\NVIDIA Corporation\\NVSMI\\" + name + L".exe";
  if (::GetFileAttributesW(inDriverFolder.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return WideToOsNarrow(inDriverFolder);
}

std::string AsciiName(const wchar_t* description, const char* fallback) {
  std::string text;
  for (const wchar_t* c = description; *c != L'\0' && text.size() < 128; ++c) {
    text += *c < 0x80 ? static_cast<char>(*c) : '?';
  }
  return CheckedName(text).value_or(fallback);
}

// The hardware adapters DXGI lists, NVIDIA's left out when nvidia-smi has
// already told of them.
std::vector<GraphicsCard> DxgiCards(bool withNvidia) {
  std::vector<GraphicsCard> cards;
  IDXGIFactory1* factory = nullptr;
  if (FAILED(::CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory)))) {
    return cards;
  }
  IDXGIAdapter1* adapter = nullptr;
  for (UINT i = 0; cards.size() < kMaxCards && factory->EnumAdapters1(i, &adapter) == S_OK; ++i) {
    DXGI_ADAPTER_DESC1 desc{};
    const bool described = SUCCEEDED(adapter->GetDesc1(&desc));
    adapter->Release();
    if (!described || (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0 ||
        desc.VendorId == kMicrosoftVendor) {
      continue;
    }
    GraphicsCard card;
    if (desc.VendorId == kAmdVendor) {
      card.vendor = GraphicsVendor::Amd;
      card.name = AsciiName(desc.Description, "AMD");
    } else if (desc.VendorId == kIntelVendor) {
      card.vendor = GraphicsVendor::Intel;
      card.name = AsciiName(desc.Description, "Intel");
    } else if (desc.VendorId == kNvidiaVendor && withNvidia) {
      card.vendor = GraphicsVendor::Nvidia;
      card.name = AsciiName(desc.Description, "NVIDIA");
    } else {
      continue;
    }
    card.deviceId = desc.DeviceId;
    const std::uint64_t memory = desc.DedicatedVideoMemory;
    if (memory >= kLeastOwnMemory && memory <= kMaxCardMemory) card.memoryBytes = memory;
    cards.push_back(std::move(card));
  }
  factory->Release();
  return cards;
}

}  // namespace

std::vector<GraphicsCard> DetectGraphicsCards(const GraphicsProbe& probe) {
  std::vector<GraphicsCard> cards;
  const std::string program = NvidiaSmiProgram(probe.nvidiaSmi);
  if (!program.empty()) {
    if (auto told = NvidiaCardsFromProgram(program, probe.timeoutMs)) cards = std::move(*told);
  }
  const bool nvidiaTold = !cards.empty();
  for (GraphicsCard& card : DxgiCards(!nvidiaTold)) {
    if (cards.size() >= kMaxCards) break;
    cards.push_back(std::move(card));
  }
  return cards;
}

}  // namespace platform
