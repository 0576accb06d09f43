#include "remote_input.h"

#include <gtest/gtest.h>

#include "protocol/messages/business_messages.h"

namespace tessarine::media {
namespace {

// The six kinds survive the trip through a 14300 body turned into a 14301 one.
TEST(RemoteInput, EventsRoundTrip) {
  const std::vector<InputEvent> sent = {{InputKind::kMouseMove, 0, 65535, 0, 0, 0},
                                        {InputKind::kMouseDown, 100, 200, kButtonRight, 0, 0},
                                        {InputKind::kMouseUp, 100, 200, kButtonRight, 0, 0},
                                        {InputKind::kWheel, 0, 0, 0, -240, 0},
                                        {InputKind::kKeyDown, 0, 0, 0, 0, 0x41},
                                        {InputKind::kKeyUp, 0, 0, 0, 0, 0x41}};
  rapidjson::Document d = EncodeRemoteInput("alice", sent);
  EXPECT_STREQ(d["business"].GetString(), "RINPUT");
  EXPECT_EQ(d["id"].GetInt(), 14300);
  EXPECT_STREQ(d["dst_user_id"].GetString(), "alice");
  d.AddMember("src_user_id", "bob", d.GetAllocator());
  std::string sender;
  std::vector<InputEvent> got;
  ASSERT_TRUE(DecodeRemoteInput(d, &sender, &got));
  EXPECT_EQ(sender, "bob");
  EXPECT_EQ(got, sent);
}

// Events out of range or of unknown kinds are skipped, the rest kept; a body without a
// list is refused.
TEST(RemoteInput, BadEventsAreSkipped) {
  rapidjson::Document d;
  d.Parse(R"({"src_user_id":"bob","events":[{"k":0,"x":-1,"y":5},{"k":1,"b":7,"x":1,"y":1},{"k":9},
             {"k":4,"v":0},{"k":4,"v":300},{"k":3,"d":99999},"x",{"k":5,"v":13},{"k":0,"x":65536,"y":0}]})");
  std::string sender;
  std::vector<InputEvent> got;
  ASSERT_TRUE(DecodeRemoteInput(d, &sender, &got));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, InputKind::kKeyUp);
  EXPECT_EQ(got[0].key, 13);
  d.Parse(R"({"src_user_id":"bob","events":{}})");
  EXPECT_FALSE(DecodeRemoteInput(d, &sender, &got));
}

// Picture edges map to the axis ends both ways; a pixel comes back as itself.
TEST(RemoteInput, AxisMapping) {
  EXPECT_EQ(ToInputAxis(0, 1280), 0);
  EXPECT_EQ(ToInputAxis(1279, 1280), kInputScale);
  EXPECT_EQ(ToInputAxis(5000, 1280), kInputScale);
  EXPECT_EQ(FromInputAxis(kInputScale, 720), 719);
  for (int px : {0, 1, 333, 640, 1278, 1279}) EXPECT_EQ(FromInputAxis(ToInputAxis(px, 1280), 1280), px);
  EXPECT_EQ(FromInputAxis(ToInputAxis(160, 321), 1921), 960) << "the middle stays the middle";
  EXPECT_EQ(ToInputAxis(3, 1), 0);
}

}  // namespace
}  // namespace tessarine::media
