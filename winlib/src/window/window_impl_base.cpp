#include "winlib/window_impl_base.h"

#include <windowsx.h>

#include <string>

#include "winlib/control.h"
#include "winlib/dialog_builder.h"
#include "winlib/ui_probe.h"

namespace DuiLib {

DUI_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_END_MESSAGE_MAP()

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::OnFinalMessage(HWND /*hWnd*/) {
  m_pm.RemoveMessageFilter(this);
  m_pm.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI& msg) { NotifyPump(msg); }

void WindowImplBase::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"closebtn") {
    Close(IDCANCEL);
  } else if (name == L"minbtn") {
    ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam, bool& bHandled) {
  bHandled = false;
  if (wParam == VK_ESCAPE && IsModal()) {
    Close(IDCANCEL);
    bHandled = true;
  }
  return 0;
}

UINT WindowImplBase::GetClassStyle() const { return CS_DBLCLKS; }

CControlUI* WindowImplBase::CreateControl(LPCTSTR /*pstrClass*/) { return nullptr; }

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
  if (uMsg == WM_KEYDOWN) return ResponseDefaultKeyEvent(wParam, bHandled);
  bHandled = false;
  return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if (::IsIconic(m_hWnd)) bHandled = FALSE;
  return (wParam == 0) ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL&) {
  return 0;  // no frame: the skin draws the whole window
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(m_hWnd, &pt);
  RECT rcClient;
  ::GetClientRect(m_hWnd, &rcClient);
  if (!::IsZoomed(m_hWnd)) {
    const RECT& box = m_pm.GetSizeBox();
    if (box.top > 0 || box.left > 0 || box.right > 0 || box.bottom > 0) {
      bool top = pt.y < rcClient.top + box.top;
      bool bottom = pt.y >= rcClient.bottom - box.bottom;
      bool left = pt.x < rcClient.left + box.left;
      bool right = pt.x >= rcClient.right - box.right;
      if (top && left) return HTTOPLEFT;
      if (top && right) return HTTOPRIGHT;
      if (bottom && left) return HTBOTTOMLEFT;
      if (bottom && right) return HTBOTTOMRIGHT;
      if (top) return HTTOP;
      if (bottom) return HTBOTTOM;
      if (left) return HTLEFT;
      if (right) return HTRIGHT;
    }
  }
  const RECT& caption = m_pm.GetCaptionRect();
  if (pt.x >= rcClient.left + caption.left && pt.x < rcClient.right - caption.right && pt.y >= caption.top &&
      pt.y < caption.bottom) {
    CControlUI* control = m_pm.FindControl(pt);
    if (!control || control->GetControlFlags() == 0) return HTCAPTION;
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  auto* info = reinterpret_cast<LPMINMAXINFO>(lParam);
  MONITORINFO mi = {};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
  info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
  info->ptMaxSize.x = mi.rcWork.right - mi.rcWork.left;
  info->ptMaxSize.y = mi.rcWork.bottom - mi.rcWork.top;
  SIZE mininfo = m_pm.GetMinInfo();
  if (mininfo.cx > 0) info->ptMinTrackSize.x = mininfo.cx;
  if (mininfo.cy > 0) info->ptMinTrackSize.y = mininfo.cy;
  bHandled = FALSE;  // windows may adjust it further
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  SIZE round = m_pm.GetRoundCorner();
  if ((round.cx > 0 || round.cy > 0) && wParam != SIZE_MINIMIZED) {
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    ::OffsetRect(&rc, -rc.left, -rc.top);
    rc.right++;
    rc.bottom++;
    HRGN rgn = ::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, round.cx, round.cy);
    ::SetWindowRgn(m_hWnd, rgn, TRUE);  // the window owns the region now
  }
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return 0;
  }
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  if (!(style & WS_CHILD)) {
    style &= ~static_cast<LONG_PTR>(WS_CAPTION);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  }
  m_pm.Init(m_hWnd);
  m_pm.SetResourcePath((CPaintManagerUI::GetInstancePath() + GetSkinFolder()).GetData());
  CPaintManagerUI::SetDefaultResourcePath(m_pm.GetResourcePath());
  m_pm.AddMessageFilter(this);
  CDialogBuilder builder;
  CControlUI* root = builder.Create(GetSkinFile().GetData(), nullptr, this, &m_pm);
  if (!root) {
    std::string why = "winlib: " + builder.GetLastErrorMessage() + "\n";
    ::OutputDebugStringA(why.c_str());
    return -1;  // creation fails; Create returns null
  }
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  InitWindow();
  return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT lRes = 0;
  BOOL bHandled = TRUE;
  switch (uMsg) {
    case WM_CREATE:
      lRes = OnCreate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CLOSE:
      lRes = OnClose(uMsg, wParam, lParam, bHandled);
      break;
    case WM_DESTROY:
      lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCACTIVATE:
      lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCCALCSIZE:
      lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCPAINT:
      lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCHITTEST:
      lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
      break;
    case WM_GETMINMAXINFO:
      lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SIZE:
      lRes = OnSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SYSCOMMAND:
      lRes = OnSysCommand(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KEYDOWN:
      lRes = OnKeyDown(uMsg, wParam, lParam, bHandled);
      break;
    default:
      bHandled = FALSE;
      break;
  }
  if (bHandled) return lRes;
  if (uMsg == WM_COPYDATA && AnswerUiProbe(m_pm, m_hWnd, wParam, lParam)) return TRUE;
  lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  if (bHandled) return lRes;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

}  // namespace DuiLib
