// Scrolling of a column, without a window: the range follows the content and the view,
// positions are clamped to it, and children move with it.
#include <gtest/gtest.h>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

// A scrolling column 100 high (inset 10 at the top and bottom, so an 80-pixel view) of
// five children 40 high with 5 between them: 220 of content.
class ScrollStateTest : public ::testing::Test {
 protected:
  ScrollStateTest() {
    column.EnableScrollBar(true);
    column.SetInset(RECT{10, 10, 10, 10});
    column.SetChildPadding(5);
    for (int i = 0; i < 5; ++i) {
      auto* child = new CControlUI;
      child->SetFixedHeight(40);
      column.Add(child);
    }
    column.SetPos(RECT{0, 0, 120, 100});
  }
  int TopOf(int i) const { return column.GetItemAt(i)->GetPos().top; }
  void Wheel(bool up) {
    TEventUI event{};
    event.Type = UIEVENT_SCROLLWHEEL;
    event.pSender = &column;
    event.wParam = MAKEWPARAM(0, up ? WHEEL_DELTA : -WHEEL_DELTA);
    column.DoEvent(event);
  }

  CVerticalLayoutUI column;
};

// Verifies the range (content less view), clamping at both ends, children moving with the
// position, and the scroll bar taking its width from the children.
TEST_F(ScrollStateTest, RangeClampsAndMovesChildren) {
  EXPECT_EQ(column.GetScrollRange(), 220 - 80);
  EXPECT_EQ(TopOf(0), 10);
  EXPECT_LT(column.GetItemAt(0)->GetPos().right, 110);  // the scroll bar's room
  column.SetScrollPos(1000);
  EXPECT_EQ(column.GetScrollPos(), 140);
  EXPECT_EQ(TopOf(0), 10 - 140);
  EXPECT_EQ(TopOf(4), 10 - 140 + 4 * 45);
  column.SetScrollPos(-5);
  EXPECT_EQ(column.GetScrollPos(), 0);
  column.EndDown();
  EXPECT_EQ(column.GetScrollPos(), 140);
  // The last child's bottom meets the view's bottom.
  EXPECT_EQ(column.GetItemAt(4)->GetPos().bottom, 90);
}

// Verifies the wheel in steps within the range, and that content shrinking to fit the view
// drops the scroll position and gives the children the whole width again.
TEST_F(ScrollStateTest, WheelAndShrinkingContent) {
  Wheel(false);
  const int step = column.GetScrollPos();
  EXPECT_GT(step, 0);
  for (int i = 0; i < 10; ++i) Wheel(false);
  EXPECT_EQ(column.GetScrollPos(), 140);
  Wheel(true);
  EXPECT_EQ(column.GetScrollPos(), 140 - step);
  while (column.GetCount() > 1) column.RemoveAt(column.GetCount() - 1);
  column.SetPos(RECT{0, 0, 120, 100});
  EXPECT_EQ(column.GetScrollRange(), 0);
  EXPECT_EQ(column.GetScrollPos(), 0);
  EXPECT_EQ(TopOf(0), 10);
  EXPECT_EQ(column.GetItemAt(0)->GetPos().right, 110);
  Wheel(false);
  EXPECT_EQ(column.GetScrollPos(), 0);
}

}  // namespace
