// The client's tokens as the meeting server checks them.
#include <gtest/gtest.h>

#include <ctime>

#include "config/access_token.h"
#include "server/control/access_token.h"

namespace {

// Verifies that a token of the client passes the server's check for the same
// application, user and secret, and fails with another secret or user.
TEST(AccessTokenServerTest, ServerAcceptsTheClientsToken) {
  const std::string secret = "0123456789abcdef";
  TokenInfo info{"demo1", "alice", 0, secret, kTokenVersion};
  const std::string token = BuildAccessToken(info);
  const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
  EXPECT_EQ(kiv_server::CheckAccessToken(token, secret, "demo1", "alice", now), kiv_server::TokenCheck::kOk);
  EXPECT_NE(kiv_server::CheckAccessToken(token, "fedcba9876543210", "demo1", "alice", now),
            kiv_server::TokenCheck::kOk);
  EXPECT_EQ(kiv_server::CheckAccessToken(token, secret, "demo1", "bob", now), kiv_server::TokenCheck::kMismatch);
  info.key = "short";
  EXPECT_EQ(kiv_server::CheckAccessToken(BuildAccessToken(info), secret, "demo1", "alice", now),
            kiv_server::TokenCheck::kMalformed);
}

}  // namespace
