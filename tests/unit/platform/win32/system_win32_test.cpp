// Ports, the opener's refusals and graphics cards, as Windows answers them.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <platform/graphics_cards.h>
#include <platform/listening_port.h>
#include <platform/os_encoding.h>
#include <platform/shell_open.h>

#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// A listening socket of this process on 127.0.0.1.
class Listener {
 public:
  Listener() {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(socket_, 4) == 0 &&
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ::ntohs(address.sin_port);
    }
  }
  ~Listener() {
    ::closesocket(socket_);
    ::WSACleanup();
  }
  std::uint16_t port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

TEST(ListeningPortWin32, TheListenerIsFoundWithItsProgram) {
  Listener listener;
  ASSERT_NE(listener.port(), 0);
  const platform::PortOwner owner = platform::FindPortOwner(listener.port());
  EXPECT_TRUE(owner.listening);
  EXPECT_TRUE(owner.sameUser);
  ASSERT_TRUE(owner.processId.has_value());
  EXPECT_EQ(*owner.processId, static_cast<long>(::GetCurrentProcessId()));
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_TRUE(fs::equivalent(platform::OsPath(platform::OsNarrowToWide(owner.executable)),
                             fs::path(std::wstring(self, length))))
      << owner.executable;
}

TEST(ListeningPortWin32, AFreePortHasNoOwner) {
  const std::uint16_t port = platform::PickFreeLoopbackPort();
  ASSERT_NE(port, 0);
  const platform::PortOwner owner = platform::FindPortOwner(port);
  EXPECT_FALSE(owner.listening);
  EXPECT_FALSE(owner.processId.has_value());
}

TEST(ShellOpenWin32, AnythingButWebAddressesAndAbsolutePathsIsRefused) {
  for (const std::string target :
       {"", "--help", "-x", "file:///C:/Windows/win.ini", "javascript:alert(1)", "ms-settings:",
        "ftp://example.invalid/", "http:/no-host", "https://", "relative\\path", "calc.exe",
        "\\\\server\\share\\x.exe", "C:relative", "https://example.invalid/\nsecond",
        "C:\\a\tb"}) {
    EXPECT_FALSE(platform::ShellOpen(target)) << target;
    EXPECT_FALSE(platform::ShellOpenInFileManager(target)) << target;
  }
}

// A stand-in nvidia-smi in a folder of its own, answering as the mode says.
class GraphicsCardsWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    smi_ = scratch_.root() / "nvidia-smi.exe";
    fs::copy_file(TIDEWELL_PROBE_PROGRAM, smi_);
    // What the machine itself shows without any nvidia-smi.
    platform::GraphicsProbe none;
    none.nvidiaSmi = (scratch_.root() / "missing" / "nvidia-smi.exe").string();
    others_ = platform::DetectGraphicsCards(none);
  }
  void TearDown() override { ::SetEnvironmentVariableW(L"TIDEWELL_FAKE_SMI", nullptr); }
  std::vector<platform::GraphicsCard> Detect(const wchar_t* mode, int timeoutMs = 5000) {
    ::SetEnvironmentVariableW(L"TIDEWELL_FAKE_SMI", mode);
    platform::GraphicsProbe probe;
    probe.nvidiaSmi = smi_.string();
    probe.timeoutMs = timeoutMs;
    return platform::DetectGraphicsCards(probe);
  }
  std::vector<platform::GraphicsCard> OthersThan(platform::GraphicsVendor vendor) const {
    std::vector<platform::GraphicsCard> kept;
    for (const auto& card : others_) {
      if (card.vendor != vendor) kept.push_back(card);
    }
    return kept;
  }

  ScratchFolder scratch_;
  fs::path smi_;
  std::vector<platform::GraphicsCard> others_;
};

TEST_F(GraphicsCardsWin32, NvidiaSmiTellsOfItsCardsFirst) {
  std::vector<platform::GraphicsCard> expected = {
      {platform::GraphicsVendor::Nvidia, "NVIDIA GeForce RTX 3060", 0, 12288ull << 20},
      {platform::GraphicsVendor::Nvidia, "NVIDIA GeForce GTX 1650", 0, 4096ull << 20},
  };
  // The adapters list's own NVIDIA cards are the same cards: left out.
  for (const auto& card : OthersThan(platform::GraphicsVendor::Nvidia)) expected.push_back(card);
  EXPECT_EQ(Detect(L"two"), expected);
}

TEST_F(GraphicsCardsWin32, AFailingOrHungNvidiaSmiLeavesTheAdapterList) {
  EXPECT_EQ(Detect(L"fail"), others_);
  // Ended at its limit: the hung stand-in would sleep for ever.
  EXPECT_EQ(Detect(L"hang", 300), others_);
}

TEST_F(GraphicsCardsWin32, ABareNameIsLookedForOnPath) {
  wchar_t saved[32767];
  const DWORD length = ::GetEnvironmentVariableW(L"PATH", saved, 32767);
  const std::wstring path = scratch_.root().wstring() + L";" + std::wstring(saved, length);
  ::SetEnvironmentVariableW(L"PATH", path.c_str());
  ::SetEnvironmentVariableW(L"TIDEWELL_FAKE_SMI", L"two");
  const auto cards = platform::DetectGraphicsCards();  // "nvidia-smi", as by default
  ::SetEnvironmentVariableW(L"PATH", std::wstring(saved, length).c_str());
  ASSERT_GE(cards.size(), 2u);
  EXPECT_EQ(cards[0].name, "NVIDIA GeForce RTX 3060");
}

}  // namespace
