#include "winlib/box_layout.h"

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

}  // namespace
}  // namespace DuiLib
