#include "protocol/wire/json_depth.h"

#include <gtest/gtest.h>

namespace kiv_proto {
namespace {

// Verifies that the limit counts objects and arrays alike and is inclusive.
TEST(JsonDepthTest, CountsObjectsAndArrays) {
  EXPECT_TRUE(JsonDepthWithin("", 0));
  EXPECT_TRUE(JsonDepthWithin("{}", 1));
  EXPECT_FALSE(JsonDepthWithin("{}", 0));
  EXPECT_TRUE(JsonDepthWithin(R"({"a":[[1]]})", 3));
  EXPECT_FALSE(JsonDepthWithin(R"({"a":[[1]]})", 2));
  EXPECT_TRUE(JsonDepthWithin("[][][]", 1));  // siblings do not add up
}

// Verifies that brackets inside strings, escaped quotes included, are not counted.
TEST(JsonDepthTest, IgnoresBracketsInStrings) {
  EXPECT_TRUE(JsonDepthWithin(R"({"a":"[[[[{{{{"})", 1));
  EXPECT_TRUE(JsonDepthWithin(R"({"a":"\"[[[["})", 1));
  EXPECT_TRUE(JsonDepthWithin(R"({"a":"\\"})", 1));
  EXPECT_FALSE(JsonDepthWithin(R"({"a":"\\",[[1]]})", 2));  // the string ended at the second quote
}

}  // namespace
}  // namespace kiv_proto
