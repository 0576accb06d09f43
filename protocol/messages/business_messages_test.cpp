#include "protocol/messages/business_messages.h"

#include <gtest/gtest.h>

#include "protocol/wire/wire_message.h"

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

// Invitations read back as written for each of their ids; the refusal alone carries a reason.
TEST(BusinessMessages, RoundTripsInvitations) {
  InviteRequest req{9, {"bob", "carol"}, "room1", "join us \xE4\xBC\x9A"};
  InviteRequest req2;
  ASSERT_TRUE(DecodeInviteRequest(EncodeInviteRequest(req), &req2));
  EXPECT_EQ(req2.req_id, 9u);
  EXPECT_EQ(req2.users, req.users);
  EXPECT_EQ(req2.group_id, "room1");
  EXPECT_EQ(req2.message, req.message);

  InviteNotice notice{"alice", -7, "room1", ""};
  InviteNotice notice2;
  ASSERT_TRUE(DecodeInviteNotice(EncodeInviteNotice(notice), &notice2));
  EXPECT_EQ(notice2.inviter, "alice");
  EXPECT_EQ(notice2.invite_id, -7);
  EXPECT_TRUE(notice2.message.empty());

  for (int id : {kInviteAccept, kInviteRefuse, kInviteCanceled}) {
    rapidjson::Document d = EncodeInviteReply(id, {"alice", 3, "x"});
    EXPECT_EQ(d["id"].GetInt(), id);
    InviteReply reply;
    ASSERT_TRUE(DecodeInviteReply(d, &reply));
    EXPECT_EQ(reply.inviter, "alice");
    EXPECT_EQ(reply.invite_id, 3);
    EXPECT_EQ(reply.extra, "x");
  }
  InviteOutcome refused;
  ASSERT_TRUE(DecodeInviteOutcome(EncodeInviteOutcome(kInviteRefused, {"bob", 3, "", 2}), &refused));
  EXPECT_EQ(refused.user_id, "bob");
  EXPECT_EQ(refused.reason, 2);
  EXPECT_FALSE(EncodeInviteOutcome(kInviteAccepted, {"bob", 3, "", 2}).HasMember("reason"));
}

// Invitations with missing lists, oversized texts or mistyped members are refused, and a
// list may hold at most kMaxListedUsers ids.
TEST(BusinessMessages, RefusesBadInvitations) {
  InviteRequest req;
  EXPECT_FALSE(DecodeInviteRequest(Parse(R"({"req_id":1,"group_id":"g"})"), &req));
  EXPECT_FALSE(DecodeInviteRequest(Parse(R"({"req_id":1,"users":["a"],"group_id":7})"), &req));
  EXPECT_FALSE(DecodeInviteRequest(Parse(R"({"req_id":1,"users":["a"],"group_id":"g","message":1})"), &req));
  EXPECT_TRUE(DecodeInviteRequest(Parse(R"({"req_id":1,"users":[],"group_id":"g"})"), &req));
  const std::string long_message =
      R"({"req_id":1,"users":["a"],"group_id":"g","message":")" + std::string(kMaxTextBytes + 1, 'm') + "\"}";
  EXPECT_FALSE(DecodeInviteRequest(Parse(long_message.c_str()), &req));
  const std::string longest_message =
      R"({"req_id":1,"users":["a"],"group_id":"g","message":")" + std::string(kMaxTextBytes, 'm') + "\"}";
  EXPECT_TRUE(DecodeInviteRequest(Parse(longest_message.c_str()), &req));

  std::string users = R"({"req_id":1,"group_id":"g","users":[)";
  for (size_t i = 0; i < kMaxListedUsers; ++i) users += (i ? ",\"u\"" : "\"u\"");
  EXPECT_TRUE(DecodeInviteRequest(Parse((users + "]}").c_str()), &req));
  EXPECT_EQ(req.users.size(), kMaxListedUsers);
  EXPECT_FALSE(DecodeInviteRequest(Parse((users + ",\"u\"]}").c_str()), &req));

  InviteNotice notice;
  EXPECT_FALSE(DecodeInviteNotice(Parse(R"({"inviter":"a","invite_id":4294967295,"group_id":"g"})"), &notice));
  EXPECT_FALSE(DecodeInviteNotice(Parse(R"({"inviter":"a","group_id":"g"})"), &notice));
  InviteReply reply;
  EXPECT_FALSE(DecodeInviteReply(Parse(R"({"inviter":"a","invite_id":1,"extra":null})"), &reply));
  EXPECT_FALSE(DecodeInviteReply(Parse(R"(["a",1])"), &reply));
  InviteOutcome outcome;
  EXPECT_FALSE(DecodeInviteOutcome(Parse(R"({"user_id":"b","invite_id":1,"reason":"busy"})"), &outcome));
  EXPECT_TRUE(DecodeInviteOutcome(Parse(R"({"user_id":"b","invite_id":1})"), &outcome));
  EXPECT_EQ(outcome.reason, 0);
}

// Online results: "all" must be a boolean, at most kMaxListedUsers states, each state's
// optional texts strings; a decode that fails leaves no states of an earlier one behind.
TEST(BusinessMessages, OnlineResultLimits) {
  OnlineResult r;
  ASSERT_TRUE(DecodeOnlineResult(EncodeOnlineResult({1, 0, true, {{"a", 1, "", "", ""}}}), &r));
  EXPECT_TRUE(r.all);
  EXPECT_FALSE(DecodeOnlineResult(Parse(R"({"req_id":1,"result":0,"all":1})"), &r));
  EXPECT_TRUE(r.users.empty());
  EXPECT_FALSE(
      DecodeOnlineResult(Parse(R"({"req_id":1,"result":0,"users":[{"user_id":"a","status":1,"platform":2}]})"), &r));
  std::string many = R"({"req_id":1,"result":0,"users":[)";
  for (size_t i = 0; i <= kMaxListedUsers; ++i) many += (i ? "," : "") + std::string(R"({"user_id":"a","status":0})");
  EXPECT_FALSE(DecodeOnlineResult(Parse((many + "]}").c_str()), &r));
  EXPECT_TRUE(DecodeOnlineResult(Parse(R"({"req_id":1,"result":5})"), &r));
  EXPECT_EQ(r.result, 5);
}

}  // namespace
}  // namespace kiv_proto
