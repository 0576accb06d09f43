#include "config/access_token.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// AES-128-CBC without padding and Base64, done by OpenSSL.
std::string OpenSslToken(const std::string& plain, const std::string& key, const uint8_t iv[16]) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EXPECT_EQ(
      EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, reinterpret_cast<const unsigned char*>(key.data()), iv),
      1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::vector<unsigned char> out(plain.size() + 16);
  int n = 0, tail = 0;
  EXPECT_EQ(EVP_EncryptUpdate(ctx.get(), out.data(), &n, reinterpret_cast<const unsigned char*>(plain.data()),
                              static_cast<int>(plain.size())),
            1);
  EXPECT_EQ(EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &tail), 1);
  std::vector<unsigned char> b64(4 * ((n + tail + 2) / 3) + 1);
  int len = EVP_EncodeBlock(b64.data(), out.data(), n + tail);
  return std::string(reinterpret_cast<char*>(b64.data()), static_cast<size_t>(len));
}

const uint8_t kExpectedIv[16] = {0x3a, 0x91, 0x5c, 0x07, 0xe4, 0x2b, 0x68, 0xd0,
                                 0x1f, 0xa6, 0x73, 0xbe, 0x45, 0x0c, 0x99, 0x2e};

// Verifies the cipher against FIPS-197 appendix C.1 (AES-128).
TEST(AccessTokenTest, EncryptsTheFipsExampleBlock) {
  uint8_t key[16], block[16];
  for (int i = 0; i < 16; ++i) {
    key[i] = static_cast<uint8_t>(i);
    block[i] = static_cast<uint8_t>(i * 0x11);
  }
  uint8_t schedule[176];
  Aes128KeyExpansion(key, schedule);
  // Last round key: 13111d7f e3944a17 f307a78b 4d2b30c5.
  EXPECT_EQ(schedule[160], 0x13);
  EXPECT_EQ(schedule[163], 0x7f);
  EXPECT_EQ(schedule[172], 0x4d);
  EXPECT_EQ(schedule[175], 0xc5);
  Aes128EncryptBlock(block, schedule);
  const uint8_t expected[16] = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
  EXPECT_EQ(std::vector<uint8_t>(block, block + 16), std::vector<uint8_t>(expected, expected + 16));
}

// Verifies the initialisation vector and that whole padded texts of several lengths
// encrypt exactly as OpenSSL's AES-128-CBC + Base64 does with the same key and vector.
TEST(AccessTokenTest, MatchesOpenSsl) {
  uint8_t iv[16];
  TokenInitVector(iv);
  EXPECT_EQ(std::vector<uint8_t>(iv, iv + 16), std::vector<uint8_t>(kExpectedIv, kExpectedIv + 16));
  const std::string key = "0123456789abcdef";
  for (const char* uid : {"alice", "bob-2", "a_very_long_user_id_that_spans_several_blocks_of_the_cipher_0123456789"}) {
    TokenInfo info{"demo1", uid, 0, key, kTokenVersion};
    std::string plain = PadTokenText(BuildTokenPlainText(info, 1700000000u, 4000000000u));
    ASSERT_EQ(plain.size() % 16, 0u);
    EXPECT_EQ(AesCbcEncrypt(plain, key), OpenSslToken(plain, key, kExpectedIv)) << uid;
  }
}

// Verifies the plain text: member order, no white space, "et" only when non-zero and
// between "uid" and "ts", ids inserted unescaped, unsigned numbers.
TEST(AccessTokenTest, BuildsThePlainText) {
  TokenInfo info{"demo1", "al\"ice", 0, "k", kTokenVersion};
  EXPECT_EQ(BuildTokenPlainText(info, 123, 4294967295u),
            "{\"aid\":\"demo1\",\"uid\":\"al\"ice\",\"ts\":123,\"r\":4294967295}");
  info.et = -1;
  EXPECT_EQ(BuildTokenPlainText(info, 0, 7),
            "{\"aid\":\"demo1\",\"uid\":\"al\"ice\",\"et\":4294967295,\"ts\":0,\"r\":7}");
  EXPECT_EQ(PadTokenText(std::string(16, 'x')).size(), 16u);
  EXPECT_EQ(PadTokenText(std::string(17, 'x')), std::string(17, 'x') + std::string(15, ' '));
  EXPECT_EQ(PadTokenText(""), "");
}

// Verifies Base64 lengths and padding, including the RFC 4648 examples.
TEST(AccessTokenTest, EncodesBase64) {
  auto b64 = [](const std::string& s) { return Base64Encode(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
  EXPECT_EQ(b64(""), "");
  EXPECT_EQ(b64("f"), "Zg==");
  EXPECT_EQ(b64("fo"), "Zm8=");
  EXPECT_EQ(b64("foo"), "Zm9v");
  EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
  const uint8_t high[3] = {0xfb, 0xff, 0xfe};
  EXPECT_EQ(Base64Encode(high, 3), "+//+");
  EXPECT_EQ(b64(std::string(16, 'a')).size(), 24u);
  EXPECT_EQ(b64(std::string(32, 'a')).size(), 44u);
}

// Verifies the refusals: empty text, wrong key lengths, unaligned text; and that a whole
// token is the version tag alone under a wrong key, else version plus Base64 of whole blocks.
TEST(AccessTokenTest, RefusesBadInputAndBuildsTokens) {
  EXPECT_EQ(AesCbcEncrypt("", "0123456789abcdef"), "");
  EXPECT_EQ(AesCbcEncrypt(std::string(16, 'x'), "short"), "");
  EXPECT_EQ(AesCbcEncrypt(std::string(16, 'x'), "0123456789abcdef0"), "");
  EXPECT_EQ(AesCbcEncrypt(std::string(17, 'x'), "0123456789abcdef"), "");

  TokenInfo info{"demo1", "alice", 0, "fifteen-chars!!", kTokenVersion};
  EXPECT_EQ(BuildAccessToken(info), "001");
  info.key = "0123456789abcdef";
  std::string token = BuildAccessToken(info);
  ASSERT_EQ(token.substr(0, 3), "001");
  const size_t b64 = token.size() - 3;
  EXPECT_EQ(b64 % 4, 0u);
  // {"aid":"demo1","uid":"alice","ts":N,"r":M} is 42..61 bytes: 48 or 64 after padding.
  EXPECT_TRUE(b64 == 64u || b64 == 88u) << token;
  EXPECT_EQ(token.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/="),
            std::string::npos);
  EXPECT_NE(BuildAccessToken(info), token);  // time stamp and random value change
}

}  // namespace
