#include <gtest/gtest.h>

#include "window/testing/window_test_support.h"

namespace {

using namespace DuiLib;
using winlib_test::ClickControl;
using winlib_test::PumpUntil;
using winlib_test::TestWindow;

class MappedWindow : public TestWindow {
 public:
  MappedWindow() : TestWindow(L"controls.xml") {}
  void OnB(TNotifyUI&) { ++b_clicks; }
  void OnAnyClick(TNotifyUI&) { ++any_clicks; }
  void OnSelect(TNotifyUI& msg) { selected.push_back(msg.pSender->GetName().str()); }
  int b_clicks = 0;
  int any_clicks = 0;
  std::vector<std::wstring> selected;
  DUI_DECLARE_MESSAGE_MAP()
};

DUI_BEGIN_MESSAGE_MAP(MappedWindow, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnAnyClick)
DUI_ON_CLICK_CTRNAME(L"btn_b", OnB)
DUI_ON_MSGTYPE(DUI_MSGTYPE_SELECTCHANGED, OnSelect)
DUI_END_MESSAGE_MAP()

void CloseAndWait(TestWindow& w) {
  w.Close();
  PumpUntil([&] { return w.final_message; });
}

// Verifies that a click reaches the handler bound to the control's name before the one
// bound to any control, and other controls reach the any-control handler.
TEST(ControlsTest, MessageMapRoutesByTypeAndName) {
  MappedWindow w;
  ASSERT_NE(w.CreateShown(), nullptr);
  ClickControl(w.GetHWND(), w.Find(L"btn_b"));
  ASSERT_TRUE(PumpUntil([&] { return w.b_clicks == 1; }));
  EXPECT_EQ(w.any_clicks, 0);
  ClickControl(w.GetHWND(), w.Find(L"btn_a"));
  ASSERT_TRUE(PumpUntil([&] { return w.any_clicks == 1; }));
  EXPECT_EQ(w.b_clicks, 1);
  EXPECT_TRUE(w.Saw(L"click", L"btn_a"));
  CloseAndWait(w);
}

// Verifies that a press released outside the button is no click, and a disabled button
// sends nothing.
TEST(ControlsTest, ButtonClicksOnlyWhenReleasedInsideAndEnabled) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  CControlUI* a = w.Find(L"btn_a");
  RECT rc = a->GetPos();
  ::PostMessageW(w.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.left + 5, rc.top + 5));
  ::PostMessageW(w.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(rc.right + 50, rc.bottom + 50));
  winlib_test::PumpFor(100);
  EXPECT_FALSE(w.Saw(L"click", L"btn_a"));
  a->SetEnabled(false);
  ClickControl(w.GetHWND(), a);
  winlib_test::PumpFor(100);
  EXPECT_FALSE(w.Saw(L"click", L"btn_a"));
  CloseAndWait(w);
}

// Verifies option groups: one selected at a time, "selectchanged" for the change, and a
// check box that toggles on each click.
TEST(ControlsTest, OptionGroupsAndCheckBoxes) {
  MappedWindow w;
  ASSERT_NE(w.CreateShown(), nullptr);
  auto* o1 = static_cast<COptionUI*>(w.Find(L"opt_1"));
  auto* o2 = static_cast<COptionUI*>(w.Find(L"opt_2"));
  EXPECT_TRUE(o1->IsSelected());
  ClickControl(w.GetHWND(), o2);
  ASSERT_TRUE(PumpUntil([&] { return o2->IsSelected(); }));
  EXPECT_FALSE(o1->IsSelected());
  EXPECT_NE(std::find(w.selected.begin(), w.selected.end(), L"opt_2"), w.selected.end());
  auto* check = static_cast<CCheckBoxUI*>(w.Find(L"check"));
  ClickControl(w.GetHWND(), check);
  ASSERT_TRUE(PumpUntil([&] { return check->GetCheck(); }));
  ClickControl(w.GetHWND(), check);
  ASSERT_TRUE(PumpUntil([&] { return !check->GetCheck(); }));
  CloseAndWait(w);
}

// Verifies that a tab layout starts on "selectedid" and shows exactly the selected page.
TEST(ControlsTest, TabLayoutShowsOnePage) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  auto* tabs = static_cast<CTabLayoutUI*>(w.Find(L"tabs"));
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_FALSE(w.Find(L"page0")->IsVisible());
  EXPECT_TRUE(w.Find(L"page1")->IsVisible());
  EXPECT_TRUE(tabs->SelectItem(0));
  EXPECT_TRUE(w.Find(L"page0")->IsVisible());
  EXPECT_FALSE(w.Find(L"page1")->IsVisible());
  EXPECT_FALSE(tabs->SelectItem(5));
  CloseAndWait(w);
}

// Verifies list clicks: "itemclick" from the item, "itemselect" from the list with the
// new index, and that an item removed by the handler of its own click is safe.
TEST(ControlsTest, ListSelectionAndRemovalDuringItsOwnClick) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  auto* list = static_cast<CListUI*>(w.Find(L"list"));
  ASSERT_EQ(list->GetCount(), 3);
  ClickControl(w.GetHWND(), w.Find(L"item1"));
  ASSERT_TRUE(PumpUntil([&] { return list->GetCurSel() == 1; }));
  EXPECT_TRUE(w.Saw(L"itemclick", L"item1"));
  EXPECT_TRUE(w.Saw(L"itemselect", L"list"));

  w.on_notify = [&](TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMCLICK) list->Remove(msg.pSender);
  };
  ClickControl(w.GetHWND(), w.Find(L"item2_label"));
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 2; }));
  winlib_test::PumpFor(50);
  EXPECT_EQ(w.Find(L"item2"), nullptr);
  EXPECT_EQ(list->GetCurSel(), 1);
  list->RemoveAll();
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_FALSE(list->SelectItem(0));
  CloseAndWait(w);
}

// Verifies that a paint-manager timer reaches the window's custom messages and the
// control, and stops when killed.
TEST(ControlsTest, TimersReachTheWindow) {
  TestWindow w(L"controls.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  CControlUI* root = w.GetPaintManager().GetRoot();
  ASSERT_TRUE(w.GetPaintManager().SetTimer(root, 99, 20));
  ASSERT_TRUE(PumpUntil([&] { return w.timers.size() >= 2; }));
  EXPECT_TRUE(w.GetPaintManager().KillTimer(root, 99));
  size_t seen = w.timers.size();
  winlib_test::PumpFor(120);
  EXPECT_LE(w.timers.size(), seen + 1);  // at most one already queued
  CloseAndWait(w);
}

}  // namespace

namespace {

// Verifies that fixed-size children of a column nested in a tab page are centred in it.
TEST(ControlsTest, NestedFixedChildrenAreCentred) {
  TestWindow w(L"nested.xml");
  ASSERT_NE(w.CreateShown(), nullptr);
  RECT panel = w.Find(L"panel")->GetPos();
  RECT icon = w.Find(L"icon")->GetPos();
  RECT caption = w.Find(L"caption")->GetPos();
  EXPECT_EQ(panel.right - panel.left, 200);  // 399 shared: the first gets the odd pixel
  EXPECT_EQ(icon.right - icon.left, 72);
  EXPECT_EQ(icon.bottom - icon.top, 72);
  EXPECT_EQ(icon.left, panel.left + (200 - 72) / 2);
  EXPECT_EQ(icon.top, (300 - (72 + 6 + 22)) / 2);
  EXPECT_EQ(caption.top, icon.bottom + 6);
  EXPECT_TRUE(w.Find(L"icon")->IsVisible());
  w.Close();
  PumpUntil([&] { return w.final_message; });
}

}  // namespace
