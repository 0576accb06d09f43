#include "server/control/server_config.h"

#include <gtest/gtest.h>

namespace kiv_server {
namespace {

// Apps need letter-and-digit ids, 16-byte secrets and no repeats; errors say why.
TEST(ServerConfig, ReadsAppsAndRefusesBadEntries) {
  ServerConfig c;
  std::string error;
  ASSERT_TRUE(ParseServerConfig(R"({"apps":[{"app_id":"a1","secret":"0123456789abcdef"}]})", &c, &error));
  ASSERT_NE(c.SecretOf("a1"), nullptr);
  EXPECT_EQ(*c.SecretOf("a1"), "0123456789abcdef");
  EXPECT_EQ(c.SecretOf("a2"), nullptr);
  for (const char* bad :
       {"", "[]", R"({"apps":{}})", R"({"apps":[{"app_id":"a_1","secret":"0123456789abcdef"}]})",
        R"({"apps":[{"app_id":"a1","secret":"short"}]})", R"({"apps":[{"app_id":"a1"}]})",
        R"({"apps":[{"app_id":"a1","secret":"0123456789abcdef"},{"app_id":"a1","secret":"0123456789abcdef"}]})"}) {
    error.clear();
    EXPECT_FALSE(ParseServerConfig(bad, &c, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_FALSE(LoadServerConfig("/nonexistent/apps.json", &c, &error));
}

}  // namespace
}  // namespace kiv_server
