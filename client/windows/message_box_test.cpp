#include "windows/message_box.h"

#include <gtest/gtest.h>

#include <thread>

#include "testing/client_test_support.h"

namespace {

using namespace DuiLib;

struct BoxScript {
  CMessageBox* box = nullptr;
  const wchar_t* button = nullptr;  // null: close with WM_CLOSE instead
  bool box_visible = false;
  bool owner_disabled = false;
  HWND owner = nullptr;
  const wchar_t* screenshot = nullptr;  // kept while the box is up
};
BoxScript* g_script = nullptr;

void CALLBACK PressButton(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (!g_script) return;
  BoxScript& s = *g_script;
  HWND h = s.box->GetHWND();
  if (s.screenshot) SaveScreenshot(s.screenshot);
  s.box_visible = ::IsWindowVisible(h) != FALSE;
  s.owner_disabled = s.owner && !::IsWindowEnabled(s.owner);
  if (!s.button) {
    ::PostMessageW(h, WM_CLOSE, 0, 0);
    return;
  }
  RECT rc = s.box->GetPaintManager().FindControl(s.button)->GetPos();
  LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ::PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(h, WM_LBUTTONUP, 0, at);
}

UINT RunBox(BoxScript& script, HWND owner) {
  auto* box = new CMessageBox;
  if (!box->Create(owner, L"CDuiLoginWnd", UI_WNDSTYLE_FRAME, WS_EX_WINDOWEDGE)) return 999;
  box->GetPaintManager().FindControl(L"label_text")->SetText(L"alice 请求远程控制");
  box->GetPaintManager().FindControl(L"btn_ok")->SetText(L"接受");
  box->GetPaintManager().FindControl(L"btn_cancel")->SetText(L"拒绝");
  box->CenterWindow();
  script.box = box;
  script.owner = owner;
  g_script = &script;
  ::SetTimer(nullptr, 0, 200, PressButton);
  UINT result = box->ShowModal();  // the box deletes itself when its window goes
  g_script = nullptr;
  return result;
}

// Verifies the results: "btn_ok" gives 1, "btn_cancel" 2, any other way of closing
// something other than 1; the box's skin holds the three named controls.
TEST(MessageBoxTest, ResultsOfTheWaysToClose) {
  BoxScript ok{nullptr, L"btn_ok"};
  ok.screenshot = L"message_box.png";
  EXPECT_EQ(RunBox(ok, nullptr), 1u);
  EXPECT_TRUE(ok.box_visible);
  BoxScript cancel{nullptr, L"btn_cancel"};
  EXPECT_EQ(RunBox(cancel, nullptr), 2u);
  BoxScript other{nullptr, nullptr};
  EXPECT_NE(RunBox(other, nullptr), 1u);
}

// Verifies that a box over a hidden owner still shows and blocks, with the owner
// disabled while it runs.
TEST(MessageBoxTest, HiddenOwnerStillShowsAndBlocks) {
  HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  ASSERT_FALSE(::IsWindowVisible(owner));
  BoxScript ok{nullptr, L"btn_ok"};
  EXPECT_EQ(RunBox(ok, owner), 1u);
  EXPECT_TRUE(ok.box_visible);
  EXPECT_TRUE(ok.owner_disabled);
  EXPECT_TRUE(::IsWindowEnabled(owner));
  ::DestroyWindow(owner);
}

// Verifies that ShowMessageBox returns once its box is closed.
TEST(MessageBoxTest, ShowMessageBoxReturnsWhenClosed) {
  std::thread closer([] { EXPECT_TRUE(CloseNextMessageBox()); });
  ShowMessageBox(nullptr, L"登陆失败");
  closer.join();
  EXPECT_EQ(::FindWindowW(L"CMessageBox", nullptr), nullptr);
}

}  // namespace
