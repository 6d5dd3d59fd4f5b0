// The machine's identifier is the GUID Windows makes at setup. A 32-bit
// program would be shown the redirected view, so the 64-bit one is asked for.
#include <platform/machine_id.h>

#include <platform/key_store.h>
#include <platform/utf.h>

namespace platform {

std::string ReadMachineId() {
  KeyHandle key = 0;
  if (OpenKey(kLocalMachine, L"SOFTWARE\\Microsoft\\Cryptography",
              kKeyQueryValue | kKeyWow64_64Key, &key) != kSuccess) {
    return {};
  }
  std::uint8_t data[256] = {};
  std::uint32_t size = sizeof data;
  std::uint32_t type = 0;
  const Status status = QueryValue(key, L"MachineGuid", &type, data, &size);
  CloseKey(key);
  if (status != kSuccess || type != kRegSz) return {};
  return WideToUtf8(Utf16ToWide(Utf16LeUnits(data, size / 2)));
}

}  // namespace platform
