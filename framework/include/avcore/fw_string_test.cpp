#include "avcore/fw_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

// A counting allocator standing in for the framework's: every block must come back.
namespace {
std::map<void*, size_t> g_blocks;
size_t g_allocations = 0;
}  // namespace

namespace avcore {
void* FwBlockAlloc(size_t size) {
  void* p = std::malloc(size);
  g_blocks[p] = size;
  ++g_allocations;
  return p;
}
void FwBlockFree(void* block) {
  ASSERT_EQ(g_blocks.count(block), 1u) << "freeing a block that was not allocated";
  g_blocks.erase(block);
  std::free(block);
}
}  // namespace avcore

namespace {

using avcore::FwString;
using avcore::FwVector;

class FwStringTest : public ::testing::Test {
 protected:
  void SetUp() override { g_allocations = 0; }
  void TearDown() override { EXPECT_TRUE(g_blocks.empty()) << g_blocks.size() << " blocks leaked"; }
};

// Null and "" share the module's empty representation, which is never allocated or freed.
TEST_F(FwStringTest, EmptyStringsShareOneRepresentationNeverFreed) {
  {
    FwString a(nullptr);
    FwString b("");
    FwString c;
    EXPECT_EQ(a.c_str(), b.c_str());
    EXPECT_EQ(b.c_str(), c.c_str());
    EXPECT_TRUE(a.empty());
    EXPECT_STREQ(a.c_str(), "");
    for (int i = 0; i < 5; ++i) {
      FwString copy(a);
      copy = "";
    }
  }
  EXPECT_EQ(g_allocations, 0u);
}

// Another module's empty representation (capacity 0) is never freed here, even when its
// count drops below 0.
TEST_F(FwStringTest, ForeignEmptyRepresentationIsNeverFreed) {
  struct {
    int32_t header[3];
    char chars[4];
  } foreign = {{0, 0, 0}, {0, 0, 0, 0}};
  char* chars = foreign.chars;
  FwString* held = new FwString();
  // The string is one pointer: make it hold the foreign representation, whose count has
  // already been driven below 0.
  std::memcpy(static_cast<void*>(held), &chars, sizeof(chars));
  foreign.header[2] = -1;
  {
    FwString copy(*held);
    EXPECT_TRUE(copy.empty());
  }
  delete held;  // count -2: a free here would be reported by the allocator
  EXPECT_LT(foreign.header[2], 0);
  EXPECT_EQ(g_allocations, 0u);
}

// Copies share one block (count + 1); the block is freed once, by the last holder.
TEST_F(FwStringTest, CopiesShareTheBlockUntilTheLastRelease) {
  FwString* a = new FwString("hello");
  FwString b(*a);
  EXPECT_EQ(a->c_str(), b.c_str());
  EXPECT_EQ(b.ref_count(), 1);
  delete a;
  EXPECT_EQ(b.ref_count(), 0);
  EXPECT_STREQ(b.c_str(), "hello");
  EXPECT_EQ(g_blocks.size(), 1u);
}

// Capacity is at least 32 and the block holds the header, characters and terminator.
TEST_F(FwStringTest, BlockSizeFollowsCapacity) {
  FwString short_text("abc");
  EXPECT_EQ(short_text.capacity(), 32);
  EXPECT_EQ(short_text.length(), 3);
  std::string hundred(100, 'x');
  FwString long_text(hundred.c_str());
  EXPECT_EQ(long_text.capacity(), 100);
  size_t largest = 0;
  for (const auto& block : g_blocks) largest = std::max(largest, block.second);
  EXPECT_EQ(largest, 100u + 13u);
}

// Assigning text: a shared representation is never written; an unshared one is reused
// when the text fits its capacity.
TEST_F(FwStringTest, AssignTextReusesOnlyAnUnsharedBlockThatFits) {
  FwString owner("first");
  FwString sharer(owner);
  owner = "abc";
  EXPECT_STREQ(sharer.c_str(), "first");
  EXPECT_STREQ(owner.c_str(), "abc");
  EXPECT_NE(owner.c_str(), sharer.c_str());

  const char* block = owner.c_str();
  owner = std::string(20, 'y').c_str();
  EXPECT_EQ(owner.c_str(), block);
  EXPECT_EQ(owner.length(), 20);
  owner = std::string(40, 'z').c_str();
  EXPECT_NE(owner.c_str(), block);
  EXPECT_EQ(owner.capacity(), 40);
}

// Assigning a string to itself (directly or through a sharer) keeps the text intact.
TEST_F(FwStringTest, SelfAssignmentIsSafe) {
  FwString a("keep me");
  FwString& alias = a;
  a = alias;
  EXPECT_STREQ(a.c_str(), "keep me");
  a = a.c_str();
  EXPECT_STREQ(a.c_str(), "keep me");
  EXPECT_EQ(a.ref_count(), 0);
}

// A length-limited constructor copies only that many bytes.
TEST_F(FwStringTest, ConstructFromBytesStopsAtLength) {
  FwString a("abcdef", 3);
  EXPECT_STREQ(a.c_str(), "abc");
  FwString b("abc", 0);
  EXPECT_TRUE(b.empty());
}

// Appending 33 elements grows the capacity 0 -> 32 -> 108.
TEST_F(FwStringTest, VectorGrowsByTheFixedRule) {
  FwVector<int> v;
  EXPECT_EQ(v.capacity(), 0);
  v.push_back(0);
  EXPECT_EQ(v.capacity(), 32);
  for (int i = 1; i < 33; ++i) v.push_back(i);
  EXPECT_EQ(v.capacity(), 108);
  EXPECT_EQ(v.size(), 33);
  for (int i = 0; i < 33; ++i) EXPECT_EQ(v[i], i);
  v.Reserve(288);
  EXPECT_EQ(v.capacity(), 288);
}

// Copying an empty vector gives count 0, capacity 0 and no block; a full one gets
// capacity = count.
TEST_F(FwStringTest, VectorCopyTakesCountAsCapacity) {
  FwVector<FwString> empty;
  FwVector<FwString> empty_copy(empty);
  EXPECT_EQ(empty_copy.size(), 0);
  EXPECT_EQ(empty_copy.capacity(), 0);
  EXPECT_EQ(empty_copy.begin(), nullptr);

  FwVector<FwString> names;
  names.push_back("ann");
  names.push_back("bob");
  FwVector<FwString> copy(names);
  EXPECT_EQ(copy.capacity(), 2);
  EXPECT_STREQ(copy[1].c_str(), "bob");
  EXPECT_EQ(copy[1].c_str(), names[1].c_str());  // the strings are shared
  names = copy;
  EXPECT_EQ(names.size(), 2);
}

// Appending an element of the vector itself while it grows copies it before the move.
TEST_F(FwStringTest, VectorAppendOfOwnElementAcrossGrowth) {
  FwVector<FwString> v;
  for (int i = 0; i < 32; ++i) v.push_back(std::to_string(i).c_str());
  ASSERT_EQ(v.size(), v.capacity());
  v.push_back(v[5]);
  EXPECT_STREQ(v[32].c_str(), "5");
}

// Clear destroys the elements and gives the block back.
TEST_F(FwStringTest, VectorClearReturnsEverything) {
  FwVector<avcore::FwStringPair> pairs;
  pairs.push_back({FwString("k"), FwString("v")});
  pairs.Clear();
  EXPECT_EQ(pairs.size(), 0);
  EXPECT_EQ(pairs.capacity(), 0);
  EXPECT_TRUE(g_blocks.empty());
}

}  // namespace
