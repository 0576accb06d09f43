// The press state machine of buttons, seen through check boxes (a click toggles them),
// driven by events without a window.
#include <gtest/gtest.h>

#include <utility>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

// A step of a sequence: a mouse or key event, or one of the changes below.
constexpr int kDisable = -1, kEnable = -2, kHide = -3;
struct Step {
  int type;
  int x = 0;
  int y = 0;
  WCHAR key = 0;
};

// Runs the steps on a fresh, unchecked check box at (10, 10, 50, 30) and tells whether
// they clicked it (a click toggles it).
bool Clicks(std::initializer_list<Step> steps) {
  CCheckBoxUI box;
  box.SetPos(RECT{10, 10, 50, 30});
  for (const Step& step : steps) {
    if (step.type == kDisable || step.type == kEnable) {
      box.SetEnabled(step.type == kEnable);
    } else if (step.type == kHide) {
      box.SetVisible(false);
    } else {
      TEventUI event{};
      event.Type = step.type;
      event.pSender = &box;
      event.ptMouse = POINT{step.x, step.y};
      event.chKey = step.key;
      box.DoEvent(event);
    }
  }
  return box.GetCheck();
}

constexpr int kDown = UIEVENT_BUTTONDOWN, kUp = UIEVENT_BUTTONUP, kMove = UIEVENT_MOUSEMOVE;

// Verifies that a press and release inside clicks, a release outside does not, that leaving
// and coming back while the button is held still clicks, and that the right and bottom
// edges lie outside.
TEST(CheckBoxStateTest, ClicksOnlyWhenReleasedInside) {
  EXPECT_TRUE(Clicks({{kDown, 20, 20}, {kUp, 20, 20}}));
  EXPECT_FALSE(Clicks({{kDown, 20, 20}, {kMove, 80, 20}, {kUp, 80, 20}}));
  EXPECT_TRUE(Clicks({{kDown, 20, 20}, {kMove, 80, 20}, {kMove, 49, 29}, {kUp, 49, 29}}));
  EXPECT_FALSE(Clicks({{kDown, 50, 30}, {kUp, 20, 20}}));
  EXPECT_FALSE(Clicks({{kDown, 20, 20}, {kUp, 50, 20}}));
}

// Verifies that a release without a press, a press while disabled, and a button disabled
// while held all give no click; a double click counts as a press.
TEST(CheckBoxStateTest, NoClickWithoutAPressWhileEnabled) {
  EXPECT_FALSE(Clicks({{kUp, 20, 20}}));
  EXPECT_FALSE(Clicks({{kDisable}, {kDown, 20, 20}, {kUp, 20, 20}}));
  EXPECT_FALSE(Clicks({{kDown, 20, 20}, {kDisable}, {kEnable}, {kUp, 20, 20}}));
  EXPECT_TRUE(Clicks({{UIEVENT_DBLCLICK, 20, 20}, {kUp, 20, 20}}));
}

// Verifies the keyboard: space and return click, other keys do not; nothing happens while
// disabled or hidden.
TEST(CheckBoxStateTest, SpaceAndReturnClick) {
  EXPECT_TRUE(Clicks({{UIEVENT_KEYDOWN, 0, 0, VK_SPACE}}));
  EXPECT_FALSE(Clicks({{UIEVENT_KEYDOWN, 0, 0, VK_SPACE}, {UIEVENT_KEYDOWN, 0, 0, VK_RETURN}}));
  EXPECT_FALSE(Clicks({{UIEVENT_KEYDOWN, 0, 0, L'A'}}));
  EXPECT_FALSE(Clicks({{kDisable}, {UIEVENT_KEYDOWN, 0, 0, VK_SPACE}}));
  EXPECT_FALSE(Clicks({{kHide}, {UIEVENT_KEYDOWN, 0, 0, VK_RETURN}}));
}

// Verifies the "selected" attribute and that an option in a group stays selected when
// clicked again (only a check box without a group toggles).
TEST(OptionStateTest, SelectedAttributeAndGroupClicks) {
  COptionUI option;
  for (const auto& [value, selected] : {std::pair{L"TRUE", true}, std::pair{L"0", false}}) {
    option.SetAttribute(L"selected", value);
    EXPECT_EQ(option.IsSelected(), selected) << value;
  }
  option.SetAttribute(L"group", L"g");
  for (int click = 0; click < 2; ++click) {
    ASSERT_TRUE(option.Activate());
    EXPECT_TRUE(option.IsSelected()) << click;
  }
}

}  // namespace
