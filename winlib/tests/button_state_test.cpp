// The press state machine of buttons, seen through check boxes (a click toggles them),
// driven by events without a window.
#include <gtest/gtest.h>

#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

void Send(CControlUI& control, int type, int x, int y, WCHAR key = 0) {
  TEventUI event{};
  event.Type = type;
  event.pSender = &control;
  event.ptMouse = POINT{x, y};
  event.chKey = key;
  control.DoEvent(event);
}

class CheckBoxStateTest : public ::testing::Test {
 protected:
  CheckBoxStateTest() { box.SetPos(RECT{10, 10, 50, 30}); }
  CCheckBoxUI box;
};

// Verifies that a press and release inside clicks, a release outside does not, and that
// leaving and coming back while the button is held still clicks.
TEST_F(CheckBoxStateTest, ClicksOnlyWhenReleasedInside) {
  Send(box, UIEVENT_BUTTONDOWN, 20, 20);
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_TRUE(box.GetCheck());

  Send(box, UIEVENT_BUTTONDOWN, 20, 20);
  Send(box, UIEVENT_MOUSEMOVE, 80, 20);
  Send(box, UIEVENT_BUTTONUP, 80, 20);
  EXPECT_TRUE(box.GetCheck());

  Send(box, UIEVENT_BUTTONDOWN, 20, 20);
  Send(box, UIEVENT_MOUSEMOVE, 80, 20);
  Send(box, UIEVENT_MOUSEMOVE, 49, 29);
  Send(box, UIEVENT_BUTTONUP, 49, 29);
  EXPECT_FALSE(box.GetCheck());

  // The right and bottom edges lie outside.
  Send(box, UIEVENT_BUTTONDOWN, 50, 30);
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_FALSE(box.GetCheck());
}

// Verifies that a release without a press, a press while disabled, and a button disabled
// while held all give no click; a double click counts as a press.
TEST_F(CheckBoxStateTest, NoClickWithoutAPressWhileEnabled) {
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_FALSE(box.GetCheck());
  box.SetEnabled(false);
  Send(box, UIEVENT_BUTTONDOWN, 20, 20);
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_FALSE(box.GetCheck());
  box.SetEnabled(true);
  Send(box, UIEVENT_BUTTONDOWN, 20, 20);
  box.SetEnabled(false);
  box.SetEnabled(true);
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_FALSE(box.GetCheck());
  Send(box, UIEVENT_DBLCLICK, 20, 20);
  Send(box, UIEVENT_BUTTONUP, 20, 20);
  EXPECT_TRUE(box.GetCheck());
}

// Verifies the keyboard: space and return click, other keys do not; nothing happens while
// disabled or hidden.
TEST_F(CheckBoxStateTest, SpaceAndReturnClick) {
  Send(box, UIEVENT_KEYDOWN, 0, 0, VK_SPACE);
  EXPECT_TRUE(box.GetCheck());
  Send(box, UIEVENT_KEYDOWN, 0, 0, VK_RETURN);
  EXPECT_FALSE(box.GetCheck());
  Send(box, UIEVENT_KEYDOWN, 0, 0, L'A');
  EXPECT_FALSE(box.GetCheck());
  box.SetEnabled(false);
  Send(box, UIEVENT_KEYDOWN, 0, 0, VK_SPACE);
  EXPECT_FALSE(box.GetCheck());
  box.SetEnabled(true);
  box.SetVisible(false);
  Send(box, UIEVENT_KEYDOWN, 0, 0, VK_SPACE);
  EXPECT_FALSE(box.GetCheck());
}

// Verifies the "selected" attribute and that an option in a group stays selected when
// clicked again (only a check box without a group toggles).
TEST(OptionStateTest, SelectedAttributeAndGroupClicks) {
  COptionUI option;
  option.SetAttribute(L"selected", L"TRUE");
  EXPECT_TRUE(option.IsSelected());
  option.SetAttribute(L"selected", L"0");
  EXPECT_FALSE(option.IsSelected());
  option.SetAttribute(L"group", L"g");
  EXPECT_TRUE(option.Activate());
  EXPECT_TRUE(option.IsSelected());
  EXPECT_TRUE(option.Activate());
  EXPECT_TRUE(option.IsSelected());
}

}  // namespace
