#pragma once
// What the key store tests of both systems do to reach a value: a key of
// the user's made with its parents, a value read whole, bytes written out.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <platform/key_store.h>

namespace key_store_test {

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// Key-store tests' fixtures take these as their Create and Read.
class KeyAccess {
 protected:
  static platform::KeyHandle Create(const std::wstring& path,
                                    std::uint32_t access = platform::kKeyRead |
                                                           platform::kKeyWrite) {
    platform::KeyHandle key = 0;
    EXPECT_EQ(platform::CreateKey(platform::kCurrentUser, path, access, &key, nullptr),
              platform::kSuccess);
    return key;
  }
  static std::vector<std::uint8_t> Read(platform::KeyHandle key, const std::wstring& name,
                                        std::uint32_t* type) {
    std::uint32_t size = 0;
    EXPECT_EQ(platform::QueryValue(key, name, nullptr, nullptr, &size), platform::kSuccess);
    std::vector<std::uint8_t> data(size + 1);
    EXPECT_EQ(platform::QueryValue(key, name, type, data.data(), &size), platform::kSuccess);
    data.resize(size);
    return data;
  }
};

}  // namespace key_store_test
