#include "server/control/access_token.h"

#include <gtest/gtest.h>

namespace kiv_server {
namespace {

constexpr char kSecret[] = "0123456789abcdef";
// {"aid":"demo1","uid":"alice","ts":1700000000,"r":305419896} padded to 64 bytes,
// encrypted independently (openssl enc -aes-128-cbc -nopad) with the shared IV.
constexpr char kKnownToken[] =
    "001amO09ApRa327efOnYGPL7Rf+lLXEMGWt/iBpP9V+LG1rPrL1vmE66eEa3Suv5jTcFdS/MhMdc0hJjNx1O2bVlg==";

// A token made elsewhere with the shared IV is accepted, and sealing reproduces it.
TEST(AccessToken, AcceptsIndependentlyEncryptedToken) {
  EXPECT_EQ(CheckAccessToken(kKnownToken, kSecret, "demo1", "alice", 0), TokenCheck::kOk);
  EXPECT_EQ(SealAccessToken(R"({"aid":"demo1","uid":"alice","ts":1700000000,"r":305419896})", kSecret), kKnownToken);
}

// Tokens for another app or user, under another key, or damaged, are refused.
TEST(AccessToken, RefusesForeignAndDamagedTokens) {
  EXPECT_EQ(CheckAccessToken(kKnownToken, kSecret, "demo1", "bob", 0), TokenCheck::kMismatch);
  EXPECT_EQ(CheckAccessToken(kKnownToken, kSecret, "demo2", "alice", 0), TokenCheck::kMismatch);
  EXPECT_EQ(CheckAccessToken(kKnownToken, "fedcba9876543210", "demo1", "alice", 0), TokenCheck::kUndecodable);
  EXPECT_EQ(CheckAccessToken("001", kSecret, "demo1", "alice", 0), TokenCheck::kMalformed);
  EXPECT_EQ(CheckAccessToken("002" + std::string(kKnownToken + 3), kSecret, "demo1", "alice", 0),
            TokenCheck::kMalformed);
  EXPECT_EQ(CheckAccessToken(std::string(kKnownToken).substr(0, 30), kSecret, "demo1", "alice", 0),
            TokenCheck::kMalformed);
  std::string flipped = kKnownToken;
  flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
  EXPECT_NE(CheckAccessToken(flipped, kSecret, "demo1", "alice", 0), TokenCheck::kOk);
  // A record without "ts" and "r" is not a token.
  EXPECT_EQ(
      CheckAccessToken(SealAccessToken(R"({"aid":"demo1","uid":"alice"})", kSecret), kSecret, "demo1", "alice", 0),
      TokenCheck::kUndecodable);
}

// "et" is an expiry in seconds: past refuses, future and 0 pass; a 16-byte text needs no padding.
TEST(AccessToken, HonoursExpiry) {
  const std::string t = SealAccessToken(R"({"aid":"a","uid":"u","et":1000,"ts":1,"r":2})", kSecret);
  EXPECT_EQ(CheckAccessToken(t, kSecret, "a", "u", 999), TokenCheck::kOk);
  EXPECT_EQ(CheckAccessToken(t, kSecret, "a", "u", 1001), TokenCheck::kExpired);
  const std::string never = SealAccessToken(R"({"aid":"a","uid":"u","et":0,"ts":1,"r":2})", kSecret);
  EXPECT_EQ(CheckAccessToken(never, kSecret, "a", "u", 1u << 31), TokenCheck::kOk);
  const std::string exact = R"({"aid":"a","uid":"u","ts":1234567,"r":123456789})";
  ASSERT_EQ(exact.size() % 16, 0u);
  EXPECT_EQ(CheckAccessToken(SealAccessToken(exact, kSecret), kSecret, "a", "u", 0), TokenCheck::kOk);
  EXPECT_EQ(SealAccessToken(exact, "short"), "");
}

}  // namespace
}  // namespace kiv_server
