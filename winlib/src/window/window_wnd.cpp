#include "winlib/window_wnd.h"

#include "winlib/paint_manager.h"

namespace DuiLib {
namespace {

constexpr wchar_t kSubclassProp[] = L"WinlibWindowObject";

}  // namespace

CWindowWnd::~CWindowWnd() {
  // A window that outlives its object would call into freed memory.
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    if (m_bSubclassed) {
      Unsubclass();
    } else {
      ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
      ::DestroyWindow(m_hWnd);
    }
  }
}

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSW wc = {};
  wc.style = GetClassStyle();
  wc.lpfnWndProc = CWindowWnd::StaticWndProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = GetWindowClassName();
  ATOM atom = ::RegisterClassW(&wc);
  return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                        HMENU hMenu) {
  return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx, int cy,
                        HMENU hMenu) {
  if (m_hWnd) return nullptr;
  bool finalRan = false;
  m_pFinalRan = &finalRan;
  HWND hwnd = nullptr;
  if (RegisterWindowClass()) {
    hwnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName ? pstrName : L"", dwStyle, x, y, cx, cy,
                             hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
  }
  if (finalRan) return nullptr;  // the window came and went: the object may be gone
  m_pFinalRan = nullptr;
  if (!hwnd) {
    // Refused before this object saw a message: it gets its final message all the same
    // (and may be gone after it).
    OnFinalMessage(nullptr);
    return nullptr;
  }
  m_bCreated = true;
  return hwnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
  if (!::IsWindow(hWnd) || m_hWnd) return nullptr;
  ::SetPropW(hWnd, kSubclassProp, this);
  m_OldWndProc =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticControlProc)));
  if (!m_OldWndProc) {
    ::RemovePropW(hWnd, kSubclassProp);
    m_OldWndProc = ::DefWindowProcW;
    return nullptr;
  }
  m_bSubclassed = true;
  m_hWnd = hWnd;
  return m_hWnd;
}

void CWindowWnd::Unsubclass() {
  if (!m_bSubclassed || !m_hWnd) return;
  if (::IsWindow(m_hWnd)) {
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    ::RemovePropW(m_hWnd, kSubclassProp);
  }
  m_OldWndProc = ::DefWindowProcW;
  m_bSubclassed = false;
  m_hWnd = nullptr;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
  if (!::IsWindow(m_hWnd)) return;
  ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  const HWND hwnd = m_hWnd;
  if (!::IsWindow(hwnd)) return 0;
  UINT result = 0;
  m_pModalResult = &result;
  HWND owner = ::GetWindow(hwnd, GW_OWNER);
  m_hModalOwner = (owner && ::IsWindowEnabled(owner)) ? owner : nullptr;
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd);
  if (m_hModalOwner) ::EnableWindow(m_hModalOwner, FALSE);
  MSG msg = {};
  bool quit = false;
  int quit_code = 0;
  while (::IsWindow(hwnd)) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      break;
    }
    if (got < 0) break;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  // The object may be gone now (windows that own themselves delete themselves when
  // destroyed); touch it only while its window still exists.
  if (::IsWindow(hwnd)) {
    if (m_hModalOwner) ::EnableWindow(m_hModalOwner, TRUE);
    m_hModalOwner = nullptr;
    m_pModalResult = nullptr;
  } else if (owner && !::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, TRUE);
  }
  if (quit) ::PostQuitMessage(quit_code);
  return result;
}

void CWindowWnd::Close(UINT nRet) {
  if (!::IsWindow(m_hWnd)) return;
  ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::NoteClose(WPARAM result) {
  if (!m_pModalResult) return;
  *m_pModalResult = static_cast<UINT>(result);
  // Enable the owner before this window goes so that activation returns to it.
  if (m_hModalOwner) {
    ::EnableWindow(m_hModalOwner, TRUE);
    ::SetFocus(m_hModalOwner);
    m_hModalOwner = nullptr;
  }
}

void CWindowWnd::CenterWindow() {
  if (!::IsWindow(m_hWnd)) return;
  if (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) return;
  RECT rcDlg;
  ::GetWindowRect(m_hWnd, &rcDlg);
  MONITORINFO mi = {};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  RECT rcArea = mi.rcWork;
  RECT rcCenter = rcArea;
  HWND center = ::GetWindow(m_hWnd, GW_OWNER);
  if (center && ::IsWindowVisible(center) && !::IsIconic(center)) ::GetWindowRect(center, &rcCenter);
  const int w = rcDlg.right - rcDlg.left;
  const int h = rcDlg.bottom - rcDlg.top;
  int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
  int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
  if (x + w > rcArea.right) x = rcArea.right - w;
  if (y + h > rcArea.bottom) y = rcArea.bottom - h;
  if (x < rcArea.left) x = rcArea.left;
  if (y < rcArea.top) y = rcArea.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
  HINSTANCE inst = CPaintManagerUI::GetInstance();
  HICON big = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
  HICON small =
      static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
  if (big) ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT rc = {};
  if (!::GetClientRect(m_hWnd, &rc)) return;
  if (cx != -1) rc.right = cx;
  if (cy != -1) rc.bottom = cy;
  ::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}

LRESULT CALLBACK CWindowWnd::StaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (uMsg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    self->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (uMsg == WM_NCDESTROY && self) {
      LRESULT r = ::CallWindowProcW(self->m_OldWndProc, hWnd, uMsg, wParam, lParam);
      ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
      self->m_hWnd = nullptr;
      self->m_pModalResult = nullptr;
      self->m_bCreated = false;
      if (self->m_pFinalRan) *self->m_pFinalRan = true;
      self->m_pFinalRan = nullptr;
      self->OnFinalMessage(hWnd);
      return r;
    }
  }
  if (!self) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
  if (uMsg == WM_CLOSE) self->NoteClose(wParam);
  return self->HandleMessage(uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::StaticControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CWindowWnd*>(::GetPropW(hWnd, kSubclassProp));
  if (!self) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
  if (uMsg == WM_NCDESTROY) {
    WNDPROC old = self->m_OldWndProc;
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    ::RemovePropW(hWnd, kSubclassProp);
    self->m_bSubclassed = false;
    self->m_hWnd = nullptr;
    self->m_OldWndProc = ::DefWindowProcW;
    LRESULT r = ::CallWindowProcW(old, hWnd, uMsg, wParam, lParam);
    self->OnFinalMessage(hWnd);
    return r;
  }
  if (uMsg == WM_CLOSE) self->NoteClose(wParam);
  return self->HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
