// The system's digests against the published test vectors, whole and fed
// in pieces (the package check feeds a megabyte at a time).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <platform/digest.h>

namespace {

std::string Hex(const std::vector<unsigned char>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

TEST(Digest, KnownVectorsWholeAndInPieces) {
  using platform::DigestKind;
  struct Case {
    DigestKind kind;
    std::string input;
    const char* hex;
  };
  const std::string million(1000000, 'a');
  const Case cases[] = {
      {DigestKind::Md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {DigestKind::Md5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {DigestKind::Md5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {DigestKind::Sha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {DigestKind::Sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {DigestKind::Sha256, million,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    const auto whole = platform::DigestOf(c.kind, c.input);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(Hex(*whole), c.hex);

    platform::Digest pieces(c.kind);
    for (std::size_t at = 0; at < c.input.size(); at += 4099) {
      pieces.Update(c.input.data() + at, std::min<std::size_t>(4099, c.input.size() - at));
    }
    const auto joined = pieces.Finish();
    ASSERT_TRUE(joined.has_value());
    EXPECT_EQ(Hex(*joined), c.hex);
    // A digest is given once.
    EXPECT_FALSE(pieces.Finish().has_value());
  }
}

}  // namespace
