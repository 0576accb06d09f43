#include "protocol/wire/json_reader.h"

#include <gtest/gtest.h>

namespace {

rapidjson::Document Parse(const char* text) {
  rapidjson::Document doc;
  doc.Parse(text);
  return doc;
}

}  // namespace

// Integers are read only when they fit the requested type; anything else gives the default.
TEST(JsonReaderTest, IntegersMustFitTheirType) {
  rapidjson::Document doc = Parse(R"({"a":5,"neg":-1,"big":2147483648,"huge":4294967296,"f":1.0,"e":1e3,"s":"7"})");
  ASSERT_TRUE(doc.IsObject());
  EXPECT_EQ(GetJsonInt(doc, "a", -9), 5);
  EXPECT_EQ(GetJsonInt(doc, "neg", -9), -1);
  EXPECT_EQ(GetJsonInt(doc, "big", -9), -9);
  EXPECT_EQ(GetJsonInt(doc, "f", -9), -9);
  EXPECT_EQ(GetJsonInt(doc, "e", -9), -9);
  EXPECT_EQ(GetJsonInt(doc, "s", -9), -9);
  EXPECT_EQ(GetJsonInt(doc, "missing", -9), -9);

  EXPECT_EQ(GetJsonUint(doc, "big", 3u), 2147483648u);
  EXPECT_EQ(GetJsonUint(doc, "neg", 3u), 3u);
  EXPECT_EQ(GetJsonUint(doc, "huge", 3u), 3u);
}

// Strings are returned in place; a member of another type gives null.
TEST(JsonReaderTest, StringsOnlyFromStringMembers) {
  rapidjson::Document doc = Parse(R"({"s":"text","n":1,"o":{}})");
  ASSERT_TRUE(doc.IsObject());
  ASSERT_NE(GetJsonString(doc, "s"), nullptr);
  EXPECT_STREQ(GetJsonString(doc, "s"), "text");
  EXPECT_EQ(GetJsonString(doc, "n"), nullptr);
  EXPECT_EQ(GetJsonString(doc, "o"), nullptr);
  EXPECT_EQ(GetJsonString(doc, "missing"), nullptr);
}

// A value that is not an object yields defaults instead of failing.
TEST(JsonReaderTest, NonObjectGivesDefaults) {
  rapidjson::Document doc = Parse("[1,2]");
  EXPECT_EQ(GetJsonInt(doc, "a", 4), 4);
  EXPECT_EQ(GetJsonString(doc, "a"), nullptr);
}
