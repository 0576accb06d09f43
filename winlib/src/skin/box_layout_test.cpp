#include "winlib/box_layout.h"

#include <climits>

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

BoxChild Fixed(int w, int h) {
  BoxChild c;
  c.fixed_width = w;
  c.fixed_height = h;
  return c;
}

// Verifies a column: fixed heights are kept, the rest is shared among stretching children
// (remainder to the first ones), gaps and inset are respected, widths fill the room.
TEST(BoxLayoutTest, ColumnSharesRoomAmongStretchingChildren) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 200, 301};
  p.inset = SkinRect{10, 10, 10, 10};
  p.child_padding = 5;
  std::vector<BoxChild> kids = {Fixed(0, 40), BoxChild(), BoxChild(), Fixed(0, 30)};
  BoxResult r = LayoutColumn(p, kids);
  // room 281 - 40 - 30 - 3 * 5 = 196 -> 98 + 98
  EXPECT_EQ(r.rects[0], (SkinRect{10, 10, 190, 50}));
  EXPECT_EQ(r.rects[1], (SkinRect{10, 55, 190, 153}));
  EXPECT_EQ(r.rects[2], (SkinRect{10, 158, 190, 256}));
  EXPECT_EQ(r.rects[3], (SkinRect{10, 261, 190, 291}));
  EXPECT_EQ(r.content_extent, 281);
}

// Verifies a row with paddings, a hidden child that takes no room, centring of fixed
// children and a floating child at its own position.
TEST(BoxLayoutTest, RowHonoursPaddingHiddenAlignAndFloat) {
  BoxParams p;
  p.bounds = SkinRect{100, 50, 400, 90};
  p.main_align = BoxAlign::kCenter;
  p.cross_align = BoxAlign::kCenter;
  p.child_padding = 10;
  BoxChild a = Fixed(80, 30);
  BoxChild hidden = Fixed(50, 30);
  hidden.visible = false;
  BoxChild b = Fixed(80, 30);
  b.padding = SkinRect{0, 0, 0, 0};
  BoxChild f = Fixed(20, 20);
  f.is_float = true;
  f.float_pos = SkinRect{5, 5, 25, 25};
  BoxResult r = LayoutRow(p, {a, hidden, b, f});
  // used = 80 + 10 + 80 = 170 of 300 -> offset 65; height 30 of 40 -> offset 5
  EXPECT_EQ(r.rects[0], (SkinRect{165, 55, 245, 85}));
  EXPECT_EQ(r.rects[1], (SkinRect{}));
  EXPECT_EQ(r.rects[2], (SkinRect{255, 55, 335, 85}));
  EXPECT_EQ(r.rects[3], (SkinRect{105, 55, 125, 75}));
}

// Verifies minimum and maximum sizes of stretching children and that a scrolled column
// shifts its children and reports the full content extent.
TEST(BoxLayoutTest, ClampsAndScrolls) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 100, 100};
  BoxChild small;
  small.max_height = 20;
  BoxChild big;
  big.min_height = 150;
  BoxResult r = LayoutColumn(p, {small, big});
  EXPECT_EQ(r.rects[0].Height(), 20);
  EXPECT_EQ(r.rects[1].Height(), 150);

  p.scroll = 30;
  BoxResult s = LayoutColumn(p, {Fixed(0, 60), Fixed(0, 60)});
  EXPECT_EQ(s.rects[0].top, -30);
  EXPECT_EQ(s.rects[1].top, 30);
  EXPECT_EQ(s.content_extent, 120);
}

// Verifies that a room too small for the fixed children gives stretching ones no height
// rather than a negative one.
TEST(BoxLayoutTest, OvercrowdedRoomNeverGivesNegativeSizes) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 50, 50};
  BoxResult r = LayoutColumn(p, {Fixed(0, 80), BoxChild()});
  EXPECT_EQ(r.rects[1].Height(), 0);
  EXPECT_GE(r.rects[1].Width(), 0);
}

// Verifies that sizes from a skin that add up past int neither wrap the stretching child to
// a huge height nor the positions to negative ones: the stretching child gets no room and
// positions and the content extent saturate.
TEST(BoxLayoutTest, HugeSizesSaturateInsteadOfWrapping) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 100, 100};
  p.child_padding = 10;
  BoxResult r = LayoutColumn(p, {Fixed(0, 2000000000), BoxChild(), Fixed(0, 2000000000)});
  EXPECT_EQ(r.rects[1].Height(), 0);
  EXPECT_EQ(r.rects[1].top, 2000000010);
  EXPECT_EQ(r.rects[2].top, 2000000020);
  EXPECT_EQ(r.rects[2].bottom, INT_MAX);
  EXPECT_EQ(r.content_extent, INT_MAX);

  // A row wider than int holds, and a float reaching past int: no wrap either.
  p.bounds = SkinRect{-2000000000, 0, 2000000000, 10};
  BoxResult row = LayoutRow(p, {BoxChild()});
  EXPECT_EQ(row.rects[0].left, -2000000000);
  EXPECT_GT(row.rects[0].right, 0);
  EXPECT_EQ(row.rects[0].Height(), 10);
  p.bounds = SkinRect{2000000000, 0, 2000000100, 10};
  BoxChild f;
  f.is_float = true;
  f.float_pos = SkinRect{0, 0, 200000000, 10};
  row = LayoutRow(p, {f});
  EXPECT_EQ(row.rects[0], (SkinRect{2000000000, 0, INT_MAX, 10}));
}

// Verifies the remainder of shared room and the end alignment of fixed children, with
// paddings on both sides, in a row: one pixel more for the first stretching children.
TEST(BoxLayoutTest, RowRemainderAndEndAlignment) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 103, 20};
  BoxChild padded;
  padded.padding = SkinRect{2, 1, 3, 1};
  BoxResult r = LayoutRow(p, {BoxChild(), padded, BoxChild()});
  // 103 - 5 = 98 -> 33, 33, 32
  EXPECT_EQ(r.rects[0], (SkinRect{0, 0, 33, 20}));
  EXPECT_EQ(r.rects[1], (SkinRect{35, 1, 68, 19}));
  EXPECT_EQ(r.rects[2], (SkinRect{71, 0, 103, 20}));
  EXPECT_EQ(r.content_extent, 103);

  p.main_align = BoxAlign::kEnd;
  p.cross_align = BoxAlign::kEnd;
  BoxResult end = LayoutRow(p, {Fixed(20, 8), Fixed(30, 0)});
  EXPECT_EQ(end.rects[0], (SkinRect{53, 12, 73, 20}));
  EXPECT_EQ(end.rects[1], (SkinRect{73, 0, 103, 20}));
}

// Verifies minimum and maximum widths across the stacking direction, a fixed size beyond
// its maximum, and that a hidden child keeps no gap.
TEST(BoxLayoutTest, CrossLimitsAndHiddenGaps) {
  BoxParams p;
  p.bounds = SkinRect{0, 0, 200, 100};
  p.child_padding = 7;
  BoxChild narrow;
  narrow.max_width = 50;
  BoxChild wide = Fixed(0, 10);
  wide.min_width = 300;
  BoxChild capped = Fixed(0, 90);
  capped.max_height = 25;
  BoxChild hidden = Fixed(0, 10);
  hidden.visible = false;
  BoxResult r = LayoutColumn(p, {Fixed(0, 10), hidden, narrow, wide, capped});
  EXPECT_EQ(r.rects[0], (SkinRect{0, 0, 200, 10}));
  EXPECT_EQ(r.rects[1], (SkinRect{}));
  EXPECT_EQ(r.rects[2].top, 17);
  EXPECT_EQ(r.rects[2].Width(), 50);
  EXPECT_EQ(r.rects[3].Width(), 300);
  EXPECT_EQ(r.rects[4].Height(), 25);
  // 100 - (10 + 10 + 25) - 3 * 7 = 34 for the one stretching child.
  EXPECT_EQ(r.rects[2].Height(), 34);
  EXPECT_EQ(r.content_extent, 10 + 7 + 34 + 7 + 10 + 7 + 25);
}

}  // namespace
}  // namespace DuiLib
