#include <gtest/gtest.h>

#include <config/md5.h>
#include <config/rc4.h>

namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

TEST(Rc4, KnownVectors) {
  struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  for (const Vector& v :
       {Vector{"Key", "Plaintext", "BBF316E8D940AF0AD3"}, Vector{"Wiki", "pedia", "1021BF0420"},
        Vector{"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"}}) {
    std::string buffer = v.plain;
    Rc4Scramble(v.key, buffer);
    EXPECT_EQ(Hex(buffer), v.cipher) << v.key;
    Rc4Scramble(v.key, buffer);
    EXPECT_EQ(buffer, v.plain);
  }
}

TEST(Rc4, SettingsKeyIsFourAsciiCharactersAndRoundTripsBinary) {
  ASSERT_EQ(kSettingsScrambleKey.size(), 4u);
  std::string buffer;
  for (int i = 0; i < 600; ++i) buffer.push_back(static_cast<char>(i));
  const std::string original = buffer;
  Rc4Scramble(kSettingsScrambleKey, buffer);
  EXPECT_NE(buffer, original);
  Rc4Scramble(kSettingsScrambleKey, buffer);
  EXPECT_EQ(buffer, original);
}

TEST(Md5, KnownDigests) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("The quick brown fox jumps over the lazy dog"),
            "9e107d9d372bb6826bd81d3542a419d6");
}

}  // namespace
