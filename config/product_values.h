#pragma once
// String values under the product's own key in the per-user key store
// (HKCU\SOFTWARE\Tidewell): what the program remembers between runs.
#include <optional>
#include <string>

// The value; nothing when the key or the value is not there or cannot be
// read. Reading creates nothing.
std::optional<std::wstring> ReadProductValue(const wchar_t* name);

// Writes the value, creating the key when needed; false when it cannot.
bool WriteProductValue(const wchar_t* name, const std::wstring& data);

// Deletes the product's key with everything in it (uninstall); true when
// it is gone, also when it was never there.
bool RemoveProductKey();
