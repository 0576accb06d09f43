#include "core/control/gs_message.h"

#include <gtest/gtest.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

using kiv_core::MediaRecord;

rapidjson::Document Parse(const char* text) {
  rapidjson::Document document;
  document.Parse(text);
  return document;
}

std::string Text(const rapidjson::Value& value) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return buffer.GetString();
}

}  // namespace

// Sent messages carry their members in the fixed order, with 14104 and 14108 as ids.
TEST(GsMessageTest, SentMessagesInOrder) {
  rapidjson::Document change;
  kiv_core::BuildMediaChange(change, 1, 4, "board-7", 1);
  EXPECT_EQ(Text(change),
            R"({"business":"GS","id":14104,"source_type":1,"media_type":4,"media_id":"board-7","operation":1})");
  rapidjson::Document control;
  kiv_core::BuildRemoteControl(control, 2, "me", "you");
  EXPECT_EQ(Text(control), R"({"business":"GS","id":14108,"operation":2,"src_user_id":"me","dst_user_id":"you"})");
}

// Required members decide; only operation 1 means published; a whiteboard may lack its user.
TEST(GsMessageTest, ReceivedMediaChange) {
  MediaRecord record;
  ASSERT_TRUE(kiv_core::ReadMediaChange(
      Parse(R"({"user_id":"a","media_id":"v1","media_type":2,"operation":1,"media_name":"n","media_owner":"o"})"),
      &record));
  EXPECT_EQ(record.userId, "a");
  EXPECT_EQ(record.mediaId, "v1");
  EXPECT_EQ(record.mediaName, "n");
  EXPECT_EQ(record.mediaOwner, "o");
  EXPECT_EQ(record.mediaType, 2);
  EXPECT_TRUE(record.published);

  ASSERT_TRUE(
      kiv_core::ReadMediaChange(Parse(R"({"user_id":"a","media_id":"v","media_type":2,"operation":2})"), &record));
  EXPECT_FALSE(record.published);
  EXPECT_EQ(record.mediaName, "");

  ASSERT_TRUE(kiv_core::ReadMediaChange(Parse(R"({"media_id":"b","media_type":4,"operation":1})"), &record));
  EXPECT_EQ(record.userId, "");

  for (const char* bad :
       {R"({"media_id":"v","media_type":2,"operation":1})", R"({"user_id":"a","media_type":2,"operation":1})",
        R"({"user_id":"a","media_id":"v","media_type":"2","operation":1})",
        R"({"user_id":"a","media_id":"v","media_type":2})",
        R"({"user_id":7,"media_id":"v","media_type":2,"operation":1})", R"([1,2])"})
    EXPECT_FALSE(kiv_core::ReadMediaChange(Parse(bad), &record)) << bad;
}

TEST(GsMessageTest, ReceivedRemoteControl) {
  std::string source;
  int operation = -1;
  ASSERT_TRUE(kiv_core::ReadRemoteControl(Parse(R"({"operation":3,"src_user_id":"b"})"), &source, &operation));
  EXPECT_EQ(source, "b");
  EXPECT_EQ(operation, 3);
  EXPECT_FALSE(kiv_core::ReadRemoteControl(Parse(R"({"operation":3})"), &source, &operation));
  EXPECT_FALSE(kiv_core::ReadRemoteControl(Parse(R"({"operation":1.5,"src_user_id":"b"})"), &source, &operation));
}
