#include "protocol/wire/base64.h"

#include <gtest/gtest.h>

namespace kiv_proto {
namespace {

// RFC 4648 test vectors encode and decode both ways, binary bytes included.
TEST(Base64, RoundTripsRfcVectors) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, coded] : vectors) {
    EXPECT_EQ(Base64Encode(plain), coded);
    std::string back;
    ASSERT_TRUE(Base64Decode(coded, &back)) << coded;
    EXPECT_EQ(back, plain);
  }
  const std::string bin("\x00\xff\x10\x80\x7f", 5);
  std::string back;
  ASSERT_TRUE(Base64Decode(Base64Encode(bin), &back));
  EXPECT_EQ(back, bin);
}

// Malformed text is refused: length, alphabet, padding position, stray pad bits.
TEST(Base64, RejectsMalformedText) {
  std::string out;
  for (const char* bad : {"Zg=", "Zm9v\n", "Zm9v Zg==", "Z===", "=Zm9", "Zg==Zm9v", "Zm*v", "Zh==", "Zm9=x", "Zm9w="}) {
    EXPECT_FALSE(Base64Decode(bad, &out)) << bad;
  }
}

}  // namespace
}  // namespace kiv_proto
