#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "kiv_records.h"
#include "kiv_string.h"
#include "kiv_vector.h"

namespace {

// A heap that records every block, so that tests see what is taken and given back.
struct CountingHeap {
  static std::vector<int>& Sizes() {
    static std::vector<int> sizes;
    return sizes;
  }
  static int& Frees() {
    static int frees = 0;
    return frees;
  }
  static void Reset() {
    Sizes().clear();
    Frees() = 0;
  }
  static void* Alloc(int size) {
    Sizes().push_back(size);
    return std::malloc(static_cast<size_t>(size));
  }
  static void Free(void* p) {
    if (!p) return;
    ++Frees();
    std::free(p);
  }
};

using Str = kiv::BasicString<CountingHeap>;
using Header = Str::Header;

const Header* HeaderOf(const Str& s) { return reinterpret_cast<const Header*>(s.c_str()) - 1; }

struct ValueTypesTest : ::testing::Test {
  void SetUp() override { CountingHeap::Reset(); }
};

}  // namespace

// Null and "" share one empty representation that is never freed, however often released.
TEST_F(ValueTypesTest, EmptyStringsShareOneStaticRepresentation) {
  {
    Str a(nullptr);
    Str b("");
    Str c;
    EXPECT_EQ(a.c_str(), b.c_str());
    EXPECT_EQ(b.c_str(), c.c_str());
    EXPECT_TRUE(a.empty());
    EXPECT_STREQ(a.c_str(), "");
  }
  for (int i = 0; i < 100; ++i) Str s("");
  EXPECT_TRUE(CountingHeap::Sizes().empty());
  EXPECT_EQ(CountingHeap::Frees(), 0);
}

// Another module's empty representation (capacity 0) is never freed here, even when
// unsynchronised counting on several threads has driven its count below 0.
TEST_F(ValueTypesTest, ForeignEmptyRepresentationIsNeverFreed) {
  struct EmptyBlock {
    Header header;
    char chars[4];
  };
  // From the C heap, so that a wrong free here is counted rather than fatal.
  auto* foreign = static_cast<EmptyBlock*>(std::calloc(1, sizeof(EmptyBlock)));
  ASSERT_NE(foreign, nullptr);
  foreign->header.refs = -1;
  char* chars = foreign->chars;
  auto* held = new Str();
  // A string is one pointer: make it hold the foreign representation.
  std::memcpy(static_cast<void*>(held), &chars, sizeof(chars));
  {
    Str copy(*held);
    EXPECT_TRUE(copy.empty());
  }
  delete held;
  EXPECT_EQ(CountingHeap::Frees(), 0);
  if (CountingHeap::Frees() == 0) std::free(foreign);
}

// A new string takes at least 32 bytes of capacity in a block of capacity + 13 bytes.
TEST_F(ValueTypesTest, BlockSizes) {
  Str small("a");
  EXPECT_EQ(HeaderOf(small)->capacity, 32);
  EXPECT_EQ(HeaderOf(small)->length, 1);
  EXPECT_EQ(HeaderOf(small)->refs, 0);
  std::string hundred(100, 'x');
  Str big(hundred.c_str());
  EXPECT_EQ(HeaderOf(big)->capacity, 100);
  ASSERT_EQ(CountingHeap::Sizes().size(), 2u);
  EXPECT_EQ(CountingHeap::Sizes()[0], 32 + 13);
  EXPECT_EQ(CountingHeap::Sizes()[1], 100 + 13);
}

// Copies share the block and the last owner frees it once.
TEST_F(ValueTypesTest, CopiesShareAndLastOwnerFrees) {
  {
    Str a("shared");
    Str b(a);
    Str c;
    c = b;
    EXPECT_EQ(a.c_str(), c.c_str());
    EXPECT_EQ(HeaderOf(a)->refs, 2);
  }
  EXPECT_EQ(CountingHeap::Sizes().size(), 1u);
  EXPECT_EQ(CountingHeap::Frees(), 1);
}

// Writing to a shared string allocates for the writer and leaves the other sharer intact;
// an unshared block is reused when the text fits and replaced when it does not.
TEST_F(ValueTypesTest, AssignTextCopyOnWrite) {
  Str a("original");
  Str b(a);
  b = "abc";
  EXPECT_STREQ(a.c_str(), "original");
  EXPECT_STREQ(b.c_str(), "abc");
  EXPECT_NE(a.c_str(), b.c_str());

  const char* block = b.c_str();
  b = "twenty-bytes-of-text";
  EXPECT_EQ(b.c_str(), block);
  EXPECT_EQ(b.length(), 20);
  b = "a text that is forty bytes long, exactly";
  EXPECT_NE(b.c_str(), block);
  EXPECT_EQ(b.length(), 40);
}

// Self-assignment and assigning a string's own tail keep the text valid.
TEST_F(ValueTypesTest, AssignFromItself) {
  Str a("self");
  a = a;
  EXPECT_STREQ(a.c_str(), "self");
  Str shared(a);
  a = a.c_str() + 1;
  EXPECT_STREQ(a.c_str(), "elf");
  EXPECT_STREQ(shared.c_str(), "self");
  a = "";
  EXPECT_TRUE(a.empty());
}

// Appending 33 elements grows the capacity 0 -> 32 -> 108 and keeps every element.
TEST_F(ValueTypesTest, VectorGrowth) {
  kiv::BasicVector<Str, CountingHeap> v;
  EXPECT_EQ(v.capacity(), 0);
  for (int i = 0; i < 33; ++i) {
    v.push_back(Str(std::to_string(i).c_str()));
    if (i == 0) {
      EXPECT_EQ(v.capacity(), 32);
    }
  }
  EXPECT_EQ(v.capacity(), 108);
  EXPECT_EQ(v.size(), 33);
  EXPECT_STREQ(v[32].c_str(), "32");
  EXPECT_STREQ(v[0].c_str(), "0");
  // Appending an element of the vector itself while it grows.
  kiv::BasicVector<Str, CountingHeap> w;
  w.push_back(Str("x"));
  for (int i = 0; i < 31; ++i) w.push_back(w[0]);
  w.push_back(w[0]);
  EXPECT_EQ(w.size(), 33);
  EXPECT_STREQ(w[32].c_str(), "x");
}

// Copying an empty vector gives no block; a copy of a full one holds only its count.
TEST_F(ValueTypesTest, VectorCopy) {
  kiv::BasicVector<Str, CountingHeap> empty;
  kiv::BasicVector<Str, CountingHeap> copy(empty);
  EXPECT_EQ(copy.size(), 0);
  EXPECT_EQ(copy.capacity(), 0);
  EXPECT_EQ(copy.data(), nullptr);

  kiv::BasicVector<Str, CountingHeap> three;
  for (const char* t : {"a", "b", "c"}) three.push_back(Str(t));
  kiv::BasicVector<Str, CountingHeap> copied(three);
  EXPECT_EQ(copied.size(), 3);
  EXPECT_EQ(copied.capacity(), 3);
  EXPECT_EQ(copied[1].c_str(), three[1].c_str());
}

// Assignment reuses the block when it is large enough and rebuilds it otherwise; no block
// is lost either way.
TEST_F(ValueTypesTest, VectorAssignment) {
  {
    kiv::BasicVector<Str, CountingHeap> big;
    for (int i = 0; i < 5; ++i) big.push_back(Str("b"));
    kiv::BasicVector<Str, CountingHeap> small;
    small.push_back(Str("s"));
    small.push_back(Str("t"));

    const Str* block = big.data();
    big = small;  // shrinks in place
    EXPECT_EQ(big.data(), block);
    EXPECT_EQ(big.size(), 2);
    EXPECT_STREQ(big[1].c_str(), "t");

    kiv::BasicVector<Str, CountingHeap> none;
    none = big;  // no capacity: rebuilt
    EXPECT_EQ(none.size(), 2);
    EXPECT_EQ(none.capacity(), 2);
    none = none;
    EXPECT_EQ(none.size(), 2);
  }
  EXPECT_EQ(static_cast<int>(CountingHeap::Sizes().size()), CountingHeap::Frees());
}

// Records built from the public types release every block they hold.
TEST_F(ValueTypesTest, RecordsReleaseTheirStrings) {
  {
    kiv::BasicVector<Str, CountingHeap> ids;
    ids.push_back(Str("user-1"));
    ids.push_back(Str("user-2"));
    kiv::BasicVector<Str, CountingHeap> copy = ids;
    copy.clear();
    EXPECT_EQ(copy.size(), 0);
    EXPECT_EQ(copy.data(), nullptr);
  }
  EXPECT_EQ(static_cast<int>(CountingHeap::Sizes().size()), CountingHeap::Frees());
}
