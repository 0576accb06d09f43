// The paint manager's units: control timers, the font table and the paint buffer.
#include <gtest/gtest.h>

#include "winlib/control_timers.h"
#include "winlib/font_table.h"
#include "winlib/offscreen_buffer.h"
#include "winlib/option_groups.h"
#include "winlib/ui_lib.h"

namespace {

using namespace DuiLib;

HWND MessageWindow() {
  return ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// Verifies that each (control, id) pair has one window timer, that a WM_TIMER id finds
// its pair, and that killing by control or subtree forgets exactly those timers.
TEST(ControlTimersTest, PairsMapToWindowTimers) {
  HWND window = MessageWindow();
  CControlUI a;
  CControlUI b;
  ControlTimers timers;
  ASSERT_TRUE(timers.Set(window, &a, 7, 1000));
  ASSERT_TRUE(timers.Set(window, &a, 7, 500));  // again: the same timer, new period
  ASSERT_TRUE(timers.Set(window, &b, 7, 1000));
  const ControlTimers::Timer* first = nullptr;
  for (UINT_PTR id = 0x1000; id < 0x1010 && !first; ++id) first = timers.Find(id);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->sender, &a);
  EXPECT_EQ(first->localId, 7u);
  EXPECT_EQ(timers.Find(first->windowId + 2), nullptr) << "a second timer was made for the same pair";
  EXPECT_FALSE(timers.Set(window, nullptr, 1, 10));
  timers.KillWhere(window, [&](CControlUI* c) { return c == &a; });
  EXPECT_FALSE(timers.Kill(window, &a, 7));
  EXPECT_TRUE(timers.Kill(window, &b, 7));
  ::DestroyWindow(window);
}

// Verifies the font table: an unknown id falls back to the default font, the GDI font is
// made once, and adding an id again replaces it.
TEST(FontTableTest, DefaultFallbackAndOneGdiFontPerEntry) {
  FontTable fonts;
  fonts.Add(1, L"NoSuchFamily,DejaVu Sans", 14, true, false, false, true);
  EXPECT_EQ(fonts.Info(1)->family, L"DejaVu Sans");
  EXPECT_EQ(fonts.Info(99), fonts.Info(1));
  HFONT font = fonts.Font(1);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(fonts.Font(1), font);
  EXPECT_EQ(fonts.Info(1)->hFont, font);
  fonts.Add(1, L"DejaVu Sans", 20, false, false, false, true);
  EXPECT_EQ(fonts.Info(1)->size, 20);
  EXPECT_EQ(fonts.Info(1)->hFont, nullptr);
  FontTable empty;
  EXPECT_EQ(empty.Info(3)->size, 12);
}

// Verifies that the paint buffer grows but is kept when a smaller size is asked for.
TEST(OffscreenBufferTest, GrowsAndIsReused) {
  HDC screen = ::GetDC(nullptr);
  OffscreenBuffer buffer;
  HDC first = buffer.Ensure(screen, 100, 80);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(buffer.Ensure(screen, 50, 40), first);
  HBITMAP bitmap = static_cast<HBITMAP>(::GetCurrentObject(buffer.Ensure(screen, 300, 200), OBJ_BITMAP));
  BITMAP info = {};
  ASSERT_TRUE(::GetObjectW(bitmap, sizeof(info), &info));
  EXPECT_EQ(info.bmWidth, 300);
  EXPECT_EQ(info.bmBitsPixel, 32);
  ::ReleaseDC(nullptr, screen);
}

// Verifies option groups: one entry per option, removal by name and by a condition.
TEST(OptionGroupsTest, MembersAreUniqueAndRemovable) {
  CControlUI a;
  CControlUI b;
  OptionGroups groups;
  EXPECT_TRUE(groups.Add(L"g", &a));
  EXPECT_FALSE(groups.Add(L"g", &a));
  EXPECT_TRUE(groups.Add(L"g", &b));
  EXPECT_EQ(groups.Get(L"g")->size(), 2u);
  EXPECT_EQ(groups.Get(L"none"), nullptr);
  groups.RemoveWhere([&](CControlUI* c) { return c == &a; });
  EXPECT_EQ(groups.Get(L"g")->size(), 1u);
  groups.Remove(L"g", &b);
  EXPECT_TRUE(groups.Get(L"g")->empty());
}

}  // namespace
