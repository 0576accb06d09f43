#include "menu/menu_placement.h"

#include <gtest/gtest.h>

namespace mp = menu_placement;

// Verifies the alignment bits of a top-level menu: 24 puts its bottom-right corner at the
// point, 0 its top-left corner, 8 and 16 one edge each.
TEST(MenuPlacementTest, TopLevelAlignmentPutsTheChosenCornerAtThePoint) {
  const mp::UiPoint p{500, 400};
  const mp::UiSize size{180, 108};
  EXPECT_EQ(mp::TopLevel(p, size, 24), (mp::UiRect{320, 292, 500, 400}));
  EXPECT_EQ(mp::TopLevel(p, size, 6), (mp::UiRect{500, 400, 680, 508}));
  EXPECT_EQ(mp::TopLevel(p, size, 8), (mp::UiRect{320, 400, 500, 508}));
  EXPECT_EQ(mp::TopLevel(p, size, 16), (mp::UiRect{500, 292, 680, 400}));
}

// Verifies that a submenu opens right of its parent at its item, and is moved to stay
// inside the work area: up past the bottom, to the left past the right edge.
TEST(MenuPlacementTest, SubmenuStaysInsideTheWorkArea) {
  const mp::UiRect work{0, 0, 1024, 768};
  const mp::UiRect parent{100, 100, 280, 244};
  EXPECT_EQ(mp::Submenu(parent, 136, {182, 76}, work, false, false), (mp::UiRect{280, 136, 462, 212}));
  EXPECT_EQ(mp::Submenu(parent, 720, {182, 76}, work, false, false), (mp::UiRect{280, 644, 462, 720}));
  const mp::UiRect nearRight{800, 100, 980, 244};
  EXPECT_EQ(mp::Submenu(nearRight, 136, {182, 76}, work, false, false), (mp::UiRect{618, 244, 800, 320}));
  // Another menu already right of the parent: left of it, unless that leaves the screen.
  EXPECT_EQ(mp::Submenu(nearRight, 136, {182, 76}, work, true, false), (mp::UiRect{618, 136, 800, 212}));
  EXPECT_EQ(mp::Submenu(parent, 136, {182, 76}, work, true, false), (mp::UiRect{280, 136, 462, 212}));
}
