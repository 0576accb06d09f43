#include "config/launch_arguments.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Pieces = std::vector<std::string>;

// Verifies splitting: empty pieces count, a trailing separator gives an empty last piece,
// no separator gives one piece, an empty text one empty piece.
TEST(LaunchArgumentsTest, SplitsIntoEveryPiece) {
  EXPECT_EQ(SplitString("x;alice;room1", ';'), (Pieces{"x", "alice", "room1"}));
  EXPECT_EQ(SplitString(";;", ';'), (Pieces{"", "", ""}));
  EXPECT_EQ(SplitString("a;", ';'), (Pieces{"a", ""}));
  EXPECT_EQ(SplitString("abc", ';'), (Pieces{"abc"}));
  EXPECT_EQ(SplitString("", ';'), (Pieces{""}));
}

// Verifies the three command-line cases: three pieces give user and group, two give the
// user and the default group, fewer give "Default" + the first generator output.
TEST(LaunchArgumentsTest, ChoosesUserAndGroup) {
  LaunchArguments three = ParseLaunchArguments(";alice;room1;ignored", 1);
  EXPECT_EQ(three.userId, "alice");
  EXPECT_EQ(three.groupId, "room1");

  LaunchArguments two = ParseLaunchArguments("x;bob", 1);
  EXPECT_EQ(two.userId, "bob");
  EXPECT_EQ(two.groupId, "Zandrovias");

  const uint32_t seed = 1700000000u;
  std::mt19937 reference(seed);
  const int32_t first = static_cast<int32_t>(reference());
  LaunchArguments none = ParseLaunchArguments("", seed);
  EXPECT_EQ(none.userId, "Default" + std::to_string(first));
  EXPECT_EQ(none.groupId, "Zandrovias");
  EXPECT_EQ(ParseLaunchArguments("justone", seed).userId, none.userId);

  LaunchArguments empty_user = ParseLaunchArguments("x;;room", 1);
  EXPECT_EQ(empty_user.userId, "");
  EXPECT_EQ(empty_user.groupId, "room");
}

// Verifies that the default user id is the signed form of the generator's output, so a
// seed whose first output exceeds 2^31 gives a minus sign.
TEST(LaunchArgumentsTest, DefaultUserIdIsSigned) {
  bool negative_seen = false;
  for (uint32_t seed = 0; seed < 64 && !negative_seen; ++seed) {
    negative_seen = ParseLaunchArguments("", seed).userId.rfind("Default-", 0) == 0;
  }
  EXPECT_TRUE(negative_seen);
}

}  // namespace
