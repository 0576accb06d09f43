#include "protocol/net/address_query.h"

#include <gtest/gtest.h>

#include "protocol/net/plain_http_getter.h"
#include "protocol/wire/ids.h"

namespace kiv_proto {
namespace {

// Server addresses need a host and a port of 1..65535.
TEST(AddressQuery, SplitsHostAndPort) {
  HostPort hp;
  ASSERT_TRUE(SplitHostPort("127.0.0.1:8080", &hp));
  EXPECT_EQ(hp.host, "127.0.0.1");
  EXPECT_EQ(hp.port, 8080);
  for (const char* bad : {"", ":80", "host:", "host", "host:0", "host:65536", "host:8a", "a b:80", "host:123456"}) {
    EXPECT_FALSE(SplitHostPort(bad, &hp)) << bad;
  }
}

// The query URL percent-encodes its ids and the reply is read back strictly.
TEST(AddressQuery, BuildsUrlAndReadsReply) {
  EXPECT_EQ(BuildAddressQueryUrl({"127.0.0.1", 9000}, "app1", "a b&c"),
            "http://127.0.0.1:9000/kiv/v1/address?app_id=app1&user_id=a%20b%26c");
  int code = -1;
  HostPort addr;
  ASSERT_TRUE(ParseAddressReply(EncodeAddressReply(0, "127.0.0.1:4100"), &code, &addr));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(addr.port, 4100);
  ASSERT_TRUE(ParseAddressReply(EncodeAddressReply(33, ""), &code, &addr));
  EXPECT_EQ(code, 33);
  for (const char* bad : {"", "<html>", "{\"code\":0}", "{\"code\":0,\"address\":\"nohost\"}",
                          "{\"code\":\"0\",\"address\":\"h:1\"}", "[1]"}) {
    EXPECT_FALSE(ParseAddressReply(bad, &code, &addr)) << bad;
  }
}

// Only plain http URLs with a host are accepted by the native HTTP client.
TEST(AddressQuery, SplitsHttpUrls) {
  std::string host, target;
  uint16_t port = 0;
  ASSERT_TRUE(SplitHttpUrl("http://localhost:81/a?b=c", &host, &port, &target));
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(port, 81);
  EXPECT_EQ(target, "/a?b=c");
  ASSERT_TRUE(SplitHttpUrl("http://example", &host, &port, &target));
  EXPECT_EQ(port, 80);
  EXPECT_EQ(target, "/");
  EXPECT_FALSE(SplitHttpUrl("https://h:1/", &host, &port, &target));
  EXPECT_FALSE(SplitHttpUrl("http://:1/", &host, &port, &target));
  EXPECT_FALSE(SplitHttpUrl("http://h:1/a b", &host, &port, &target));
}

// Ids: letters, digits, '_' and '-' up to 128; app ids letters and digits only.
TEST(Ids, ValidatesCharacterSetsAndLength) {
  EXPECT_TRUE(IsValidUserId("a_-9"));
  EXPECT_TRUE(IsValidUserId(std::string(128, 'u')));
  EXPECT_FALSE(IsValidUserId(std::string(129, 'u')));
  EXPECT_FALSE(IsValidUserId(""));
  EXPECT_FALSE(IsValidUserId("a@b"));
  EXPECT_FALSE(IsValidUserId("a b"));
  EXPECT_FALSE(IsValidUserId(std::string("a\0b", 3)));
  EXPECT_TRUE(IsValidAppId("App01"));
  EXPECT_FALSE(IsValidAppId("app_1"));
  EXPECT_TRUE(IsValidDeviceId("{3B32C1AA-AE53-4AE7-A159-AEBC6D0E03F5}"));
  EXPECT_FALSE(IsValidDeviceId("dev ice"));
}

}  // namespace
}  // namespace kiv_proto
