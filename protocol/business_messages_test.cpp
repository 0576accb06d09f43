#include "protocol/business_messages.h"

#include <gtest/gtest.h>

#include "protocol/wire_message.h"

namespace kiv_proto {
namespace {

rapidjson::Document Parse(const char* json) {
  rapidjson::Document d;
  d.Parse(json);
  return d;
}

// Online queries, results and notices read back as written.
TEST(BusinessMessages, RoundTripsOnlineMessages) {
  OnlineQuery q{5, {"a", "b"}};
  OnlineQuery q2;
  ASSERT_TRUE(DecodeOnlineQuery(EncodeOnlineQuery(q), &q2));
  EXPECT_EQ(q2.req_id, 5u);
  EXPECT_EQ(q2.users, q.users);
  EXPECT_EQ(ToJson(EncodeOnlineQuery({6, {}})), R"({"business":"ONLINE","id":15000,"req_id":6})");

  OnlineResult r{5, 0, false, {{"a", 1, "{D}", "windows", "g"}, {"b", 0, "", "", ""}}};
  OnlineResult r2;
  ASSERT_TRUE(DecodeOnlineResult(EncodeOnlineResult(r), &r2));
  ASSERT_EQ(r2.users.size(), 2u);
  EXPECT_EQ(r2.users[0].device_id, "{D}");
  EXPECT_EQ(r2.users[0].group_id, "g");
  EXPECT_EQ(r2.users[1].status, 0);
  EXPECT_FALSE(r2.all);

  OnlineState n;
  ASSERT_TRUE(DecodeOnlineNotify(EncodeOnlineNotify({"a", 1, "{D}", "linux", ""}), &n));
  EXPECT_EQ(n.platform, "linux");
  EXPECT_EQ(ToJson(EncodeOnlineNotify({"a", 0, "", "", ""})),
            R"({"business":"ONLINE","id":15002,"user_id":"a","status":0,"device_id":"","platform":"","group_id":""})");
}

// Text messages of each kind read back; malformed bodies are refused.
TEST(BusinessMessages, RoundTripsTextMessagesStrictly) {
  TextSend s;
  s.id = kTextToUsers;
  s.to_list = {"a", "b"};
  s.as_group = true;
  s.text = "hi";
  s.msg_id = 3;
  TextSend s2;
  ASSERT_TRUE(DecodeTextSend(EncodeTextSend(s), kTextToUsers, &s2));
  EXPECT_EQ(s2.to_list, s.to_list);
  EXPECT_TRUE(s2.as_group);
  TextReceived in;
  ASSERT_TRUE(DecodeTextReceived(EncodeTextReceived({true, "a", "x", 4}), kTextGroupMessage, &in));
  EXPECT_TRUE(in.group);
  EXPECT_EQ(in.from, "a");

  TextSend out;
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"to":"a"})"), kTextToUser, &out));
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"to":"a","text":1})"), kTextToUser, &out));
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"to":["a"],"text":"t"})"), kTextToUser, &out));
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"to":["a",2],"text":"t"})"), kTextToUsers, &out));
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"text":"t","msg_id":-1})"), kTextToGroup, &out));
  EXPECT_FALSE(DecodeTextSend(Parse(R"({"text":"t"})"), kTextUserMessage, &out));
  const std::string huge = "{\"text\":\"" + std::string(kMaxTextBytes + 1, 'x') + "\"}";
  EXPECT_FALSE(DecodeTextSend(Parse(huge.c_str()), kTextToGroup, &out));
  OnlineQuery q;
  EXPECT_FALSE(DecodeOnlineQuery(Parse(R"({"users":[]})"), &q));
  EXPECT_FALSE(DecodeOnlineQuery(Parse(R"({"req_id":1,"users":"a"})"), &q));
  OnlineResult r;
  EXPECT_FALSE(DecodeOnlineResult(Parse(R"({"req_id":1,"result":0,"users":[{"status":1}]})"), &r));
}

}  // namespace
}  // namespace kiv_proto
