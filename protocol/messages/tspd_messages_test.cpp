#include "protocol/messages/tspd_messages.h"

#include <gtest/gtest.h>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"

namespace kiv_proto {
namespace {

// The body of a TSPD message as it arrives: encoded, framed as a business message and parsed.
bool Arrive(const rapidjson::Document& body, Message* msg, const rapidjson::Value** out) {
  if (ParseMessage(EncodeBusiness(body), msg) != ParseError::kNone) return false;
  std::string business;
  int id = 0;
  *out = BusinessBody(*msg, &business, &id);
  return *out != nullptr && business == kBusinessTspd;
}

// Subscriptions, data and refusals read back as written after a trip through a frame.
TEST(TspdMessages, RoundTripThroughAMessage) {
  Message msg;
  const rapidjson::Value* body = nullptr;
  ASSERT_TRUE(Arrive(EncodeTspdMedia(kTspdSubscribe, "board-1"), &msg, &body));
  std::string media;
  ASSERT_TRUE(DecodeTspdMedia(*body, &media));
  EXPECT_EQ(media, "board-1");

  ASSERT_TRUE(Arrive(EncodeTspdSubscribeResult({"board-1", 404}), &msg, &body));
  TspdSubscribeResult result;
  ASSERT_TRUE(DecodeTspdSubscribeResult(*body, &result));
  EXPECT_EQ(result.result, 404);

  // Data with quotes, control characters, backslashes and non-ASCII text survives escaping.
  const TspdData data{"m", "{\"a\":\"\\u0001\"}\n\t\x01 \xE7\x99\xBB \\"};
  ASSERT_TRUE(Arrive(EncodeTspdData(kTspdData, data), &msg, &body));
  TspdData back;
  ASSERT_TRUE(DecodeTspdData(*body, &back));
  EXPECT_EQ(back.media_id, "m");
  EXPECT_EQ(back.data, data.data);

  ASSERT_TRUE(Arrive(EncodeTspdRefused({"m", 36, "too large"}), &msg, &body));
  TspdRefused refused;
  ASSERT_TRUE(DecodeTspdRefused(*body, &refused));
  EXPECT_EQ(refused.code, 36);
  EXPECT_EQ(refused.msg, "too large");
}

// Data limits: exactly the maximum passes, one byte more or a NUL byte anywhere does not;
// the delivery limit applies when the caller gives it.
TEST(TspdMessages, DataLimitsAndNulBytes) {
  TspdData out;
  EXPECT_TRUE(DecodeTspdData(EncodeTspdData(kTspdSend, {"m", std::string(kMaxTspdDataBytes, 'd')}), &out));
  EXPECT_FALSE(DecodeTspdData(EncodeTspdData(kTspdSend, {"m", std::string(kMaxTspdDataBytes + 1, 'd')}), &out));
  EXPECT_TRUE(DecodeTspdData(EncodeTspdData(kTspdData, {"m", std::string(kMaxTspdDataBytes + 1, 'd')}), &out,
                             kMaxTspdDeliveryBytes));
  EXPECT_TRUE(DecodeTspdData(EncodeTspdData(kTspdSend, {"m", ""}), &out));
  EXPECT_FALSE(DecodeTspdData(EncodeTspdData(kTspdSend, {"m", std::string("a\0b", 3)}), &out));
  EXPECT_FALSE(DecodeTspdData(EncodeTspdData(kTspdSend, {"m", std::string(1, '\0')}), &out));

  // A NUL written as an escape in the JSON text is the same NUL after parsing.
  Message msg;
  ASSERT_EQ(
      ParseMessage(R"({"type":"biz","body":{"business":"TSPD","id":17004,"media_id":"m","data":"a\u0000b"}})", &msg),
      ParseError::kNone);
  std::string business;
  int id = 0;
  const rapidjson::Value* body = BusinessBody(msg, &business, &id);
  ASSERT_NE(body, nullptr);
  EXPECT_FALSE(DecodeTspdData(*body, &out));
}

// Media ids are 1..128 bytes of text; missing or mistyped members are refused.
TEST(TspdMessages, RefusesBadMembers) {
  std::string media;
  EXPECT_TRUE(DecodeTspdMedia(EncodeTspdMedia(kTspdSubscribe, std::string(128, 'x')), &media));
  EXPECT_FALSE(DecodeTspdMedia(EncodeTspdMedia(kTspdSubscribe, std::string(129, 'x')), &media));
  EXPECT_FALSE(DecodeTspdMedia(EncodeTspdMedia(kTspdSubscribe, ""), &media));
  rapidjson::Document d;
  for (const char* bad : {R"({"media_id":5})", R"({"mediaid":"m"})", R"([])", R"("m")"}) {
    d.Parse(bad);
    EXPECT_FALSE(DecodeTspdMedia(d, &media)) << bad;
  }
  TspdSubscribeResult result;
  d.Parse(R"({"media_id":"m","result":"0"})");
  EXPECT_FALSE(DecodeTspdSubscribeResult(d, &result));
  d.Parse(R"({"media_id":"m","result":1.5})");
  EXPECT_FALSE(DecodeTspdSubscribeResult(d, &result));
  TspdData data;
  d.Parse(R"({"media_id":"m","data":{"x":1}})");
  EXPECT_FALSE(DecodeTspdData(d, &data));
  d.Parse(R"({"media_id":"m"})");
  EXPECT_FALSE(DecodeTspdData(d, &data));
  TspdRefused refused;
  d.Parse(R"({"media_id":"m","code":1})");
  EXPECT_FALSE(DecodeTspdRefused(d, &refused));
}

// The largest delivery of plain text, and a board's state (at most half of it) escaped as
// badly as JSON allows, wrapped as a business message still fit in one frame.
TEST(TspdMessages, LargestDeliveryFitsInAFrame) {
  const std::string plain(kMaxTspdDeliveryBytes, 'd');
  EXPECT_LE(EncodeBusiness(EncodeTspdData(kTspdData, {std::string(128, 'm'), plain})).size(), kMaxFramePayload);
  const std::string quotes(kMaxTspdDeliveryBytes / 2, '"');
  EXPECT_LE(EncodeBusiness(EncodeTspdData(kTspdData, {std::string(128, 'm'), quotes})).size(), kMaxFramePayload);
}

}  // namespace
}  // namespace kiv_proto
