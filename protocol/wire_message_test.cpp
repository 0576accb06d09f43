#include "protocol/wire_message.h"

#include <gtest/gtest.h>

#include "protocol/frame_codec.h"

namespace kiv_proto {
namespace {

Message Parsed(const std::string& text) {
  Message m;
  EXPECT_EQ(ParseMessage(text, &m), ParseError::kNone) << text;
  return m;
}

// Session messages survive encode, parse and decode unchanged, odd characters included.
TEST(WireMessage, RoundTripsSessionMessages) {
  LoginRequest login;
  login.seq = 7;
  login.app_id = "app1";
  login.token = "001abc+/=";
  login.device_id = "{D3V1CE}";
  login.user_id = "u-1";
  login.platform = "windows";
  login.extra = "\"quoted\" \xe4\xbc\x9a\xe8\xae\xae";
  login.force = true;
  login.reconnect = true;
  LoginRequest back;
  ASSERT_TRUE(DecodeLogin(Parsed(EncodeLogin(login)), &back));
  EXPECT_EQ(back.seq, 7u);
  EXPECT_EQ(back.token, login.token);
  EXPECT_EQ(back.extra, login.extra);
  EXPECT_TRUE(back.force);
  EXPECT_TRUE(back.reconnect);

  MediaList list{"g1", {"a", "b"}, {{"a", 2, "cam0", "", "a"}, {"", 4, "board1", "Plan", "b"}}};
  MediaList list_back;
  ASSERT_TRUE(DecodeMediaList(Parsed(EncodeMediaList(list)), &list_back));
  EXPECT_EQ(list_back.users, list.users);
  EXPECT_EQ(list_back.media, list.media);

  JoinResult jr{3, 34, "g1"};
  JoinResult jr_back;
  ASSERT_TRUE(DecodeJoinResult(Parsed(EncodeJoinResult(jr)), &jr_back));
  EXPECT_EQ(jr_back.code, 34);
  EXPECT_EQ(jr_back.group_id, "g1");

  LoginResult lr{9, 34, "{OTHER}", "why"};
  LoginResult lr_back;
  ASSERT_TRUE(DecodeLoginResult(Parsed(EncodeLoginResult(lr)), &lr_back));
  EXPECT_EQ(lr_back.device_id, "{OTHER}");
  EXPECT_EQ(lr_back.detail, "why");
}

// A business body travels as an object and its name and id are read back.
TEST(WireMessage, CarriesBusinessBodies) {
  rapidjson::Document body(rapidjson::kObjectType);
  auto& a = body.GetAllocator();
  body.AddMember("business", "GS", a);
  body.AddMember("id", 14104, a);
  body.AddMember("media_id", "cam0", a);
  const Message m = Parsed(EncodeBusiness(body));
  std::string name;
  int id = 0;
  const rapidjson::Value* got = BusinessBody(m, &name, &id);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(name, "GS");
  EXPECT_EQ(id, 14104);
  EXPECT_EQ(ToJson(*got), "{\"business\":\"GS\",\"id\":14104,\"media_id\":\"cam0\"}");

  for (const char* bad : {R"({"type":"biz"})", R"({"type":"biz","body":[]})",
                          R"({"type":"biz","body":{"id":1}})", R"({"type":"biz","body":{"business":"GS","id":"1"}})",
                          R"({"type":"biz","body":{"business":"GS","id":1.5}})"}) {
    EXPECT_EQ(BusinessBody(Parsed(bad), &name, &id), nullptr) << bad;
  }
}

// Text that is not one well-formed object of a known type is refused with its reason.
TEST(WireMessage, RejectsMalformedPayloads) {
  Message m;
  EXPECT_EQ(ParseMessage("", &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\"", &m), ParseError::kBadJson);  // truncated
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\"} x", &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\"}{}", &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage(std::string("{\"type\":\"p\xff\"}"), &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":\"\\udee9\"}", &m), ParseError::kBadJson);  // lone surrogate
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":\"\\ud83d\\ude00\"}", &m), ParseError::kNone);  // a pair
  // A number beyond a double's range would come out as infinity, which no writer puts out.
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":" + std::string(40, '9') + "e308}", &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":1.5e308}", &m), ParseError::kNone);
  EXPECT_EQ(ParseMessage("[1,2]", &m), ParseError::kNotObject);
  EXPECT_EQ(ParseMessage("{\"kind\":\"ping\"}", &m), ParseError::kNoType);
  EXPECT_EQ(ParseMessage("{\"type\":5}", &m), ParseError::kNoType);
  EXPECT_EQ(ParseMessage("{\"type\":\"PING\"}", &m), ParseError::kUnknownType);
  EXPECT_EQ(ParseMessage(std::string(kMaxFramePayload + 1, ' '), &m), ParseError::kTooLarge);
  EXPECT_EQ(ParseMessage(std::string(100000, '[') + std::string(100000, ']'), &m), ParseError::kTooDeep);
  // Brackets inside strings do not count as nesting.
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":\"" + std::string(1000, '[') + "\\\"\"}", &m),
            ParseError::kNone);
  const std::string depth_ok = "{\"type\":\"ping\",\"x\":" + std::string(kMaxJsonDepth - 1, '[') +
                               std::string(kMaxJsonDepth - 1, ']') + "}";
  EXPECT_EQ(ParseMessage(depth_ok, &m), ParseError::kNone);
}

// Decoders insist on every required member with its JSON type and length.
TEST(WireMessage, DecodersAreStrict) {
  LoginRequest login;
  EXPECT_FALSE(DecodeLogin(Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","device_id":"d","user_id":"u"})"), &login));
  EXPECT_FALSE(DecodeLogin(Parsed(R"({"type":"login","seq":-1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));
  EXPECT_FALSE(DecodeLogin(Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":7})"), &login));
  EXPECT_FALSE(DecodeLogin(Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u","force":1})"), &login));
  const std::string long_token = "{\"type\":\"login\",\"seq\":1,\"proto\":1,\"app_id\":\"a\",\"token\":\"" +
                                 std::string(kMaxFieldLength + 1, 't') +
                                 "\",\"device_id\":\"d\",\"user_id\":\"u\"}";
  EXPECT_FALSE(DecodeLogin(Parsed(long_token), &login));
  EXPECT_TRUE(DecodeLogin(Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));
  // A message of another type never decodes as a login.
  EXPECT_FALSE(DecodeLogin(Parsed(R"({"type":"join","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));

  MediaList list;
  EXPECT_FALSE(DecodeMediaList(Parsed(R"({"type":"media_list","group_id":"g","users":["a",1],"media":[]})"), &list));
  EXPECT_FALSE(DecodeMediaList(Parsed(R"({"type":"media_list","group_id":"g","users":[],"media":[{"user_id":"a","media_id":"m"}]})"), &list));
  EXPECT_FALSE(DecodeMediaList(Parsed(R"({"type":"media_list","group_id":"g","users":[]})"), &list));

  JoinRequest join;
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","group_id":"g"})"), &join));
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","seq":4294967296,"group_id":"g"})"), &join));
}

}  // namespace
}  // namespace kiv_proto
