#include "device/guid_text.h"

#include <gtest/gtest.h>

namespace {

// Verifies parsing and formatting of endpoint id texts, including the lower-case third group.
TEST(GuidTextTest, ParseAndFormat) {
  Guid g;
  ASSERT_TRUE(ParseGuidText(L"{0.0.1.00000000}.{abcdef01-2345-6789-abcd-ef0123456789}", &g) == false);
  ASSERT_TRUE(ParseGuidText(L"{abcdef01-2345-6789-ABCD-ef0123456789}", &g));
  EXPECT_EQ(g.data1, 0xabcdef01u);
  EXPECT_EQ(g.data2, 0x2345);
  EXPECT_EQ(g.data3, 0x6789);
  EXPECT_EQ(g.data4[0], 0xab);
  EXPECT_EQ(g.data4[7], 0x89);
  Guid h = {0xABCDEF01, 0x2345, 0xBEEF, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}};
  EXPECT_EQ(FormatGuidText(h), L"{ABCDEF01-2345-beef-ABCD-EF0123456789}");
  Guid back;
  ASSERT_TRUE(ParseGuidText(FormatGuidText(h), &back));
  EXPECT_EQ(back, h);
  EXPECT_FALSE(ParseGuidText(L"", &back));
  EXPECT_EQ(back, Guid{});
}

// Verifies the case-insensitive id comparison and the bounded narrowing of names.
TEST(GuidTextTest, CompareAndNarrow) {
  EXPECT_TRUE(SameDeviceId(L"{ab-CD}", L"{AB-cd}"));
  EXPECT_FALSE(SameDeviceId(L"{ab-CD}", L"{AB-cd0}"));
  EXPECT_EQ(NarrowText(L"Speakers", 256), "Speakers");
  EXPECT_EQ(NarrowText(L"Speakers", 4), "Spe");
  EXPECT_EQ(NarrowText(L"Speakers", 0), "");
}

}  // namespace
