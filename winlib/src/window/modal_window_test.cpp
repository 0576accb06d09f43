#include <gtest/gtest.h>

#include "window/testing/window_test_support.h"

namespace {

using namespace DuiLib;

class ModalBox : public winlib_test::TestWindow {
 public:
  explicit ModalBox(bool self_deleting = false) : TestWindow(L"modal.xml"), m_self_deleting(self_deleting) {}
  void OnClick(TNotifyUI& msg) override {
    if (msg.pSender->GetName() == L"btn_ok") {
      Close(1);
    } else if (msg.pSender->GetName() == L"btn_cancel") {
      Close(2);
    }
  }
  void OnFinalMessage(HWND hWnd) override {
    TestWindow::OnFinalMessage(hWnd);
    if (m_self_deleting) delete this;
  }
  DUI_DECLARE_MESSAGE_MAP()

 private:
  bool m_self_deleting;
};

DUI_BEGIN_MESSAGE_MAP(ModalBox, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_END_MESSAGE_MAP()

// What the timer does inside the modal loop.
struct Script {
  ModalBox* box = nullptr;
  HWND owner = nullptr;
  int action = 0;  // 0 click OK, 1 click Cancel, 2 post WM_CLOSE, 3 Escape
  bool owner_was_disabled = false;
  bool box_was_visible = false;
  bool fired = false;
};
Script* g_script = nullptr;

void CALLBACK OnScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (!g_script) return;
  Script& s = *g_script;
  s.fired = true;
  s.owner_was_disabled = s.owner && !::IsWindowEnabled(s.owner);
  s.box_was_visible = ::IsWindowVisible(s.box->GetHWND()) != FALSE;
  HWND h = s.box->GetHWND();
  switch (s.action) {
    case 0:
      winlib_test::ClickControl(h, s.box->Find(L"btn_ok"));
      break;
    case 1:
      winlib_test::ClickControl(h, s.box->Find(L"btn_cancel"));
      break;
    case 2:
      ::PostMessageW(h, WM_CLOSE, 0, 0);
      break;
    case 3:
      ::PostMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
      break;
  }
}

// Ends a run that the script failed to end, so that a fault fails the test, not hangs it.
void CALLBACK OnWatchdog(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (g_script && g_script->box && ::IsWindow(g_script->box->GetHWND())) ::DestroyWindow(g_script->box->GetHWND());
}

UINT RunModal(Script& s, ModalBox* box, HWND owner) {
  s.box = box;
  s.owner = owner;
  g_script = &s;
  if (!box->Create(owner, L"box", UI_WNDSTYLE_FRAME, UI_WNDSTYLE_EX_FRAME)) return 999;
  box->CenterWindow();
  ::SetTimer(nullptr, 0, 150, OnScriptTimer);
  UINT_PTR watchdog = ::SetTimer(nullptr, 0, 5000, OnWatchdog);
  UINT result = box->ShowModal();
  ::KillTimer(nullptr, watchdog);
  g_script = nullptr;
  return result;
}

// Verifies that the result of a modal run is what the clicked button closed it with,
// and that the owner is disabled during the run and enabled again afterwards.
TEST(ModalWindowTest, ReturnsTheButtonsResultAndDisablesTheOwner) {
  winlib_test::TestWindow owner(L"modal.xml");
  ASSERT_NE(owner.CreateShown(), nullptr);
  for (int action : {0, 1}) {
    Script s;
    s.action = action;
    ModalBox box;
    EXPECT_EQ(RunModal(s, &box, owner.GetHWND()), action == 0 ? 1u : 2u);
    EXPECT_TRUE(s.fired);
    EXPECT_TRUE(s.owner_was_disabled);
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
    EXPECT_TRUE(box.final_message);
  }
  owner.Close();
  winlib_test::PumpUntil([&] { return owner.final_message; });
}

// Verifies that closing in any other way (a plain WM_CLOSE, Escape) never gives 1.
TEST(ModalWindowTest, OtherWaysOfClosingAreNotOk) {
  for (int action : {2, 3}) {
    Script s;
    s.action = action;
    ModalBox box;
    UINT result = RunModal(s, &box, nullptr);
    EXPECT_NE(result, 1u) << action;
    EXPECT_EQ(result, action == 2 ? 0u : static_cast<UINT>(IDCANCEL));
  }
}

// Verifies that a box owned by a hidden window still shows and blocks until closed, and
// that a box deleting itself when its window goes is not touched afterwards.
TEST(ModalWindowTest, HiddenOwnerAndSelfDeletingBox) {
  winlib_test::TestWindow owner(L"modal.xml");
  ASSERT_NE(owner.Create(nullptr, L"hidden owner", UI_WNDSTYLE_FRAME & ~WS_VISIBLE, 0), nullptr);
  ASSERT_FALSE(::IsWindowVisible(owner.GetHWND()));
  Script s;
  s.action = 0;
  auto* box = new ModalBox(true);
  EXPECT_EQ(RunModal(s, box, owner.GetHWND()), 1u);
  EXPECT_TRUE(s.box_was_visible);
  EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
  owner.Close();
  winlib_test::PumpUntil([&] { return owner.final_message; });
}

// Verifies that a quit message arriving during a modal run ends it and is passed on.
TEST(ModalWindowTest, QuitMessageEndsTheRunAndIsReposted) {
  ModalBox box;
  ASSERT_NE(box.Create(nullptr, L"box", UI_WNDSTYLE_FRAME, 0), nullptr);
  ::PostQuitMessage(7);
  EXPECT_EQ(box.ShowModal(), 0u);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  box.Close();
  winlib_test::PumpUntil([&] { return box.final_message; });
}

}  // namespace
