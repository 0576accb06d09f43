// Slider values from presses, drags and the wheel, without a window: positions map onto
// the range in steps, whatever the range's size.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

// A slider whose track runs from x = 7 to x = 207 (200 pixels; the thumb is 14 wide).
class SliderStateTest : public ::testing::Test {
 protected:
  SliderStateTest() { slider.SetPos(RECT{0, 0, 214, 20}); }

  void Send(int type, int x, WPARAM wParam = 0) {
    TEventUI event{};
    event.Type = type;
    event.pSender = &slider;
    event.ptMouse = POINT{x, 10};
    event.wParam = wParam;
    slider.DoEvent(event);
  }
  int PressAt(int x) {
    Send(UIEVENT_BUTTONDOWN, x);
    Send(UIEVENT_BUTTONUP, x);
    return slider.GetValue();
  }
  void Wheel(bool up) { Send(UIEVENT_SCROLLWHEEL, 0, MAKEWPARAM(0, up ? WHEEL_DELTA : -WHEEL_DELTA)); }

  CSliderUI slider;
};

// Verifies that positions map onto a range spanning all of int: the ends give the limits,
// the middle about zero, a quarter about a quarter; the wheel stops at the limits.
TEST_F(SliderStateTest, FullIntRange) {
  slider.SetMinValue(INT_MIN);
  slider.SetMaxValue(INT_MAX);
  const long long pixel = (1LL << 32) / 200;
  EXPECT_EQ(PressAt(0), INT_MIN);
  EXPECT_EQ(PressAt(300), INT_MAX);
  EXPECT_LE(std::llabs(PressAt(107)), pixel);
  EXPECT_LE(std::llabs(PressAt(57) - static_cast<long long>(INT_MIN) / 2), pixel);
  slider.SetChangeStep(1000);
  slider.SetValue(INT_MAX);
  Wheel(true);
  EXPECT_EQ(slider.GetValue(), INT_MAX);
  Wheel(false);
  EXPECT_EQ(slider.GetValue(), INT_MAX - 1000);
  slider.SetValue(INT_MIN + 10);
  Wheel(false);
  EXPECT_EQ(slider.GetValue(), INT_MIN);
}

// Verifies steps (a position snaps down to a step from the minimum), drags that follow the
// pointer only while pressed, and that a disabled slider ignores presses.
TEST_F(SliderStateTest, StepsDragsAndDisabled) {
  slider.SetChangeStep(10);
  EXPECT_EQ(PressAt(7 + 114), 50);  // 57 snaps to 50
  EXPECT_EQ(PressAt(7 + 200), 100);
  EXPECT_EQ(PressAt(3), 0);
  Send(UIEVENT_BUTTONDOWN, 7 + 40);
  Send(UIEVENT_MOUSEMOVE, 7 + 160);
  EXPECT_EQ(slider.GetValue(), 80);
  Send(UIEVENT_BUTTONUP, -1);
  EXPECT_EQ(slider.GetValue(), 80);
  Send(UIEVENT_MOUSEMOVE, 7 + 20);
  EXPECT_EQ(slider.GetValue(), 80);
  slider.SetEnabled(false);
  EXPECT_EQ(PressAt(7), 80);
  slider.SetEnabled(true);
  slider.SetMinValue(150);
  EXPECT_EQ(slider.GetMaxValue(), 150);
  EXPECT_EQ(slider.GetValue(), 150);
  EXPECT_EQ(PressAt(100), 150);
}

}  // namespace
