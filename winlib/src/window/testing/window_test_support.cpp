#include "window_test_support.h"

namespace winlib_test {

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeout_ms) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void PumpFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  PumpUntil([&] { return ::GetTickCount() - start >= ms; }, ms + 1000);
}

void ClickControl(HWND window, DuiLib::CControlUI* control) {
  RECT rc = control->GetPos();
  LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ::PostMessageW(window, WM_MOUSEMOVE, 0, at);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(window, WM_LBUTTONUP, 0, at);
}

void TestWindow::Notify(DuiLib::TNotifyUI& msg) {
  received.push_back(Received{msg.sType.str(), msg.pSender ? msg.pSender->GetName().str() : std::wstring()});
  if (on_notify) on_notify(msg);
  WindowImplBase::Notify(msg);
}

LRESULT TestWindow::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if (uMsg == WM_TIMER) timers.push_back(wParam);
  bHandled = FALSE;
  return 0;
}

DuiLib::CControlUI* TestWindow::CreateControl(LPCTSTR pstrClass) {
  if (_wcsicmp(pstrClass, L"CustomPanel") == 0) {
    auto* c = new DuiLib::CLabelUI;
    c->SetUserData(L"custom");
    return c;
  }
  return nullptr;
}

void TestWindow::OnFinalMessage(HWND hWnd) {
  WindowImplBase::OnFinalMessage(hWnd);
  final_message = true;
}

HWND TestWindow::CreateShown(HWND owner) {
  HWND h = Create(owner, L"test", DuiLib::UI_WNDSTYLE_FRAME, DuiLib::UI_WNDSTYLE_EX_FRAME);
  if (h) {
    CenterWindow();
    PumpFor(50);
  }
  return h;
}

bool TestWindow::Saw(const std::wstring& type, const std::wstring& sender) const {
  for (const auto& r : received) {
    if (r.type == type && r.sender == sender) return true;
  }
  return false;
}

}  // namespace winlib_test
