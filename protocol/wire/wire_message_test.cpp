#include "protocol/wire/wire_message.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "protocol/wire/frame_codec.h"

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

  for (const char* bad :
       {R"({"type":"biz"})", R"({"type":"biz","body":[]})", R"({"type":"biz","body":{"id":1}})",
        R"({"type":"biz","body":{"business":"GS","id":"1"}})", R"({"type":"biz","body":{"business":"GS","id":1.5}})"}) {
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
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":\"\\udee9\"}", &m), ParseError::kBadJson);      // lone surrogate
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
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":\"" + std::string(1000, '[') + "\\\"\"}", &m), ParseError::kNone);
  const std::string depth_ok =
      "{\"type\":\"ping\",\"x\":" + std::string(kMaxJsonDepth - 1, '[') + std::string(kMaxJsonDepth - 1, ']') + "}";
  EXPECT_EQ(ParseMessage(depth_ok, &m), ParseError::kNone);
}

// Decoders insist on every required member with its JSON type and length.
TEST(WireMessage, DecodersAreStrict) {
  LoginRequest login;
  EXPECT_FALSE(
      DecodeLogin(Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","device_id":"d","user_id":"u"})"), &login));
  EXPECT_FALSE(DecodeLogin(
      Parsed(R"({"type":"login","seq":-1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));
  EXPECT_FALSE(DecodeLogin(
      Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":7})"), &login));
  EXPECT_FALSE(DecodeLogin(
      Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u","force":1})"),
      &login));
  const std::string long_token = "{\"type\":\"login\",\"seq\":1,\"proto\":1,\"app_id\":\"a\",\"token\":\"" +
                                 std::string(kMaxFieldLength + 1, 't') + "\",\"device_id\":\"d\",\"user_id\":\"u\"}";
  EXPECT_FALSE(DecodeLogin(Parsed(long_token), &login));
  EXPECT_TRUE(DecodeLogin(
      Parsed(R"({"type":"login","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));
  // A message of another type never decodes as a login.
  EXPECT_FALSE(DecodeLogin(
      Parsed(R"({"type":"join","seq":1,"proto":1,"app_id":"a","token":"t","device_id":"d","user_id":"u"})"), &login));

  MediaList list;
  EXPECT_FALSE(DecodeMediaList(Parsed(R"({"type":"media_list","group_id":"g","users":["a",1],"media":[]})"), &list));
  EXPECT_FALSE(DecodeMediaList(
      Parsed(R"({"type":"media_list","group_id":"g","users":[],"media":[{"user_id":"a","media_id":"m"}]})"), &list));
  EXPECT_FALSE(DecodeMediaList(Parsed(R"({"type":"media_list","group_id":"g","users":[]})"), &list));

  JoinRequest join;
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","group_id":"g"})"), &join));
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","seq":4294967296,"group_id":"g"})"), &join));
}

// UTF-8 at the edges of each sequence length, raw and as escapes, in values and in member
// names: the largest and smallest code points of each length pass; overlong forms,
// surrogates and code points past U+10FFFF do not.
TEST(WireMessage, Utf8Boundaries) {
  auto with = [](const std::string& text) { return "{\"type\":\"ping\",\"x\":\"" + text + "\"}"; };
  Message m;
  for (const char* good :
       {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF",
        "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\\u0000", "\\uFFFF", "\\uD800\\uDC00", "\\uDBFF\\uDFFF"}) {
    EXPECT_EQ(ParseMessage(with(good), &m), ParseError::kNone) << good;
  }
  for (const char* bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
                          "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE0\xA0", "\\uD800",
                          "\\uDFFF", "\\uDC00\\uD800", "\\uD800x", "\\uD800\\u0041"}) {
    EXPECT_EQ(ParseMessage(with(bad), &m), ParseError::kBadJson) << bad;
    EXPECT_TRUE(m.doc.IsNull());
  }
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"\\uDC01\":1}", &m), ParseError::kBadJson);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"\xF4\x90\x80\x80\":1}", &m), ParseError::kBadJson);

  // A NUL written as an escape stays part of the value, whose length counts it.
  ASSERT_EQ(ParseMessage(R"({"type":"user_left","user_id":"a\u0000b"})", &m), ParseError::kNone);
  UserEvent e;
  ASSERT_TRUE(DecodeUserEvent(m, &e));
  EXPECT_EQ(e.user_id, std::string("a\0b", 3));
}

// Numbers at the edges of the members' types: seq is a 32-bit unsigned, codes are int;
// fractions, exponents and values one past the range are refused.
TEST(WireMessage, NumberRanges) {
  JoinRequest join;
  EXPECT_TRUE(DecodeJoin(Parsed(R"({"type":"join","seq":4294967295,"group_id":"g"})"), &join));
  EXPECT_EQ(join.seq, 4294967295u);
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","seq":1.0,"group_id":"g"})"), &join));
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","seq":1e2,"group_id":"g"})"), &join));
  EXPECT_FALSE(DecodeJoin(Parsed(R"({"type":"join","seq":"1","group_id":"g"})"), &join));
  JoinResult result;
  EXPECT_TRUE(DecodeJoinResult(Parsed(R"({"type":"join_result","seq":1,"code":-2147483648})"), &result));
  EXPECT_EQ(result.code, INT32_MIN);
  EXPECT_TRUE(result.group_id.empty());
  EXPECT_FALSE(DecodeJoinResult(Parsed(R"({"type":"join_result","seq":1,"code":2147483648})"), &result));
  Logouted logouted;
  EXPECT_FALSE(DecodeLogouted(Parsed(R"({"type":"logouted","reason":true})"), &logouted));
  EXPECT_TRUE(DecodeLogouted(Parsed(R"({"type":"logouted","reason":-1})"), &logouted));
  EXPECT_EQ(logouted.reason, -1);
}

// A value the writer refuses gives an empty text, never one cut short at that value.
TEST(WireMessage, WritersRefuseWhatJsonCannotCarry) {
  rapidjson::Document d(rapidjson::kObjectType);
  d.AddMember("business", "TSPD", d.GetAllocator());
  d.AddMember("id", 17004, d.GetAllocator());
  d.AddMember("x", std::numeric_limits<double>::infinity(), d.GetAllocator());
  EXPECT_EQ(ToJson(d), "");
  EXPECT_EQ(EncodeBusiness(d), "");
  d["x"].SetDouble(1.5);
  EXPECT_EQ(ToJson(d), R"({"business":"TSPD","id":17004,"x":1.5})");
}

// Every message type encodes to a payload that parses back as that type; a seq-only
// message decodes only as logout or leave, a user event only as joined or left.
TEST(WireMessage, EveryTypeRoundTrips) {
  const std::pair<std::string, MsgType> encoded[] = {
      {EncodeLogin({}), MsgType::kLogin},
      {EncodeLoginResult({}), MsgType::kLoginResult},
      {EncodeLogout({3}), MsgType::kLogout},
      {EncodeLogouted({2}), MsgType::kLogouted},
      {EncodeJoin({1, "g"}), MsgType::kJoin},
      {EncodeJoinResult({1, 0, "g"}), MsgType::kJoinResult},
      {EncodeLeave({4}), MsgType::kLeave},
      {EncodeLeaveResult({4, 0, "g"}), MsgType::kLeaveResult},
      {EncodeMediaList({}), MsgType::kMediaList},
      {EncodeUserJoined({"u"}), MsgType::kUserJoined},
      {EncodeUserLeft({"u"}), MsgType::kUserLeft},
      {EncodePing(), MsgType::kPing},
      {EncodePong(), MsgType::kPong},
      {EncodeError({5, "bad"}), MsgType::kError},
  };
  for (const auto& [payload, type] : encoded) {
    Message m;
    ASSERT_EQ(ParseMessage(payload, &m), ParseError::kNone) << payload;
    EXPECT_EQ(m.type, type) << payload;
    MsgType named;
    ASSERT_TRUE(MsgTypeFromName(MsgTypeName(type), &named));
    EXPECT_EQ(named, type);
  }
  SeqOnly seq;
  ASSERT_TRUE(DecodeSeqOnly(Parsed(EncodeLeave({4})), &seq));
  EXPECT_EQ(seq.seq, 4u);
  EXPECT_FALSE(DecodeSeqOnly(Parsed(EncodeJoin({1, "g"})), &seq));
  UserEvent user;
  EXPECT_FALSE(DecodeUserEvent(Parsed(EncodePing()), &user));
  ErrorReply error;
  ASSERT_TRUE(DecodeError(Parsed(EncodeError({5, "bad"})), &error));
  EXPECT_EQ(error.detail, "bad");
  LeaveResult leave;
  ASSERT_TRUE(DecodeLeaveResult(Parsed(EncodeLeaveResult({4, 31, "g"})), &leave));
  EXPECT_EQ(leave.code, 31);
  EXPECT_EQ(leave.group_id, "g");
  // Texts at the field limit pass, with quotes and control characters escaped.
  LoginRequest login;
  login.token = std::string(kMaxFieldLength, '"');
  login.extra = "\x01\n\t\\";
  ASSERT_TRUE(DecodeLogin(Parsed(EncodeLogin(login)), &login));
  EXPECT_EQ(login.token.size(), kMaxFieldLength);
  EXPECT_EQ(login.extra, "\x01\n\t\\");
}

// A depth counted in members' names as well as values, and brackets after the end of the
// object, are both seen by the depth check; unbalanced closing brackets do not lower it.
TEST(WireMessage, DepthCheckCountsEveryBracket) {
  Message m;
  const std::string over = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\":" + over + "}", &m), ParseError::kTooDeep);
  EXPECT_EQ(ParseMessage("]]]]{\"type\":\"ping\",\"x\":" + over + "}", &m), ParseError::kTooDeep);
  EXPECT_EQ(ParseMessage("{\"type\":\"ping\",\"x\\\\\":" + over + "}", &m), ParseError::kTooDeep);
}

}  // namespace
}  // namespace kiv_proto
