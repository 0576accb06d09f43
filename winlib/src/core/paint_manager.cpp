#include "winlib/paint_manager.h"

#include <algorithm>

#include "pointer_list.h"
#include "winlib/control.h"
#include "winlib/render_engine.h"

namespace DuiLib {
namespace {

UINT FlushMessage() {
  static UINT msg = ::RegisterWindowMessageW(L"WinlibFlushDelayedCleanup");
  return msg;
}

bool IsInSubtree(CControlUI* control, CControlUI* root) {
  for (CControlUI* p = control; p; p = p->GetParent()) {
    if (p == root) return true;
  }
  return false;
}

CControlUI* CALLBACK FindFromPoint(CControlUI* c, LPVOID) { return c; }

CControlUI* CALLBACK FindFromName(CControlUI* c, LPVOID data) {
  return c->GetName() == static_cast<LPCTSTR>(data) ? c : nullptr;
}

std::wstring Lower(const wchar_t* s) {
  std::wstring r(s ? s : L"");
  for (auto& c : r) c = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
  return r;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
  RemoveAllTimers();
  FlushDelayedCleanup();
  delete m_pRoot;
  m_pRoot = nullptr;
  FlushDelayedCleanup();
}

void CPaintManagerUI::Init(HWND hWnd) {
  m_hWndPaint = hWnd;
  if (m_sResourcePath.IsEmpty()) m_sResourcePath = GetInstancePath();
}

void CPaintManagerUI::Invalidate() {
  if (m_hWndPaint) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rcItem) {
  if (m_hWndPaint) ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

void CPaintManagerUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  Invalidate();
}

SIZE CPaintManagerUI::GetClientSize() const {
  RECT rc = {};
  if (m_hWndPaint) ::GetClientRect(m_hWndPaint, &rc);
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  m_szInitWindowSize = SIZE{cx, cy};
  if (m_hWndPaint && cx > 0 && cy > 0) {
    ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

void CPaintManagerUI::SetDefaultFontFamilies(LPCTSTR families) { FontTable::SetDefaultFamilies(families); }

void CPaintManagerUI::AddFont(int id, LPCTSTR families, int size, bool bold, bool underline, bool italic,
                              bool isDefault) {
  m_fonts.Add(id, families, size, bold, underline, italic, isDefault);
}

const TFontInfo* CPaintManagerUI::GetFontInfo(int id) { return m_fonts.Info(id); }

HFONT CPaintManagerUI::GetFont(int id) { return m_fonts.Font(id); }

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList) {
  m_defaultAttributes[Lower(pStrControlName)] = pStrControlAttrList ? pStrControlAttrList : L"";
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR pStrControlName) const {
  auto it = m_defaultAttributes.find(Lower(pStrControlName));
  return it == m_defaultAttributes.end() ? nullptr : it->second.c_str();
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
  if (!pControl) return false;
  if (m_pRoot && m_pRoot != pControl) {
    ReapObjects(m_pRoot);
    AddDelayedCleanup(m_pRoot);
  }
  m_pFocus = nullptr;
  m_pEventHover = nullptr;
  m_pEventClick = nullptr;
  m_pRoot = pControl;
  m_bUpdateNeeded = true;
  m_bFirstLayout = true;
  InitControls(pControl, nullptr);
  Layout();
  return true;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
  if (!pControl) return false;
  pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
  return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
  if (!pControl) return;
  if (IsInSubtree(m_pEventHover, pControl)) m_pEventHover = nullptr;
  if (IsInSubtree(m_pEventClick, pControl)) m_pEventClick = nullptr;
  if (IsInSubtree(m_pFocus, pControl)) m_pFocus = nullptr;
  auto inSubtree = [pControl](CControlUI* c) { return IsInSubtree(c, pControl); };
  m_timers.KillWhere(m_hWndPaint, inSubtree);
  m_optionGroups.RemoveWhere(inSubtree);
  for (auto it = m_nativeWindows.begin(); it != m_nativeWindows.end(); ++it) {
    if (IsInSubtree(it->second, pControl) && ::IsWindow(it->first)) ::ShowWindow(it->first, SW_HIDE);
  }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
  if (!pControl || !AddOnce(m_aDelayedCleanup, pControl)) return;
  if (m_nDispatchDepth == 0 && m_hWndPaint && ::IsWindow(m_hWndPaint)) {
    ::PostMessageW(m_hWndPaint, FlushMessage(), 0, 0);
  }
}

void CPaintManagerUI::FlushDelayedCleanup() {
  while (!m_aDelayedCleanup.empty()) {
    std::vector<CControlUI*> batch;
    batch.swap(m_aDelayedCleanup);
    for (CControlUI* c : batch) delete c;
  }
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  if (!m_pRoot) return nullptr;
  return m_pRoot->FindControl(FindFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const {
  if (!m_pRoot || !pstrName) return nullptr;
  return m_pRoot->FindControl(FindFromName, const_cast<LPTSTR>(pstrName), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* pParent, POINT pt) const {
  if (!pParent) pParent = m_pRoot;
  if (!pParent) return nullptr;
  return pParent->FindControl(FindFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const {
  if (!pParent) pParent = m_pRoot;
  if (!pParent || !pstrName) return nullptr;
  return pParent->FindControl(FindFromName, const_cast<LPTSTR>(pstrName), UIFIND_ALL);
}

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender, WPARAM wParam, LPARAM lParam) const {
  TEventUI e;
  e.Type = type;
  e.pSender = sender;
  e.dwTimestamp = ::GetTickCount();
  e.ptMouse = m_ptLastMousePos;
  e.wParam = wParam;
  e.lParam = lParam;
  WORD keys = 0;
  if (::GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
  if (::GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
  e.wKeyState = keys;
  return e;
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
  return m_timers.Set(m_hWndPaint, pControl, nTimerID, uElapse);
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
  return m_timers.Kill(m_hWndPaint, pControl, nTimerID);
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
  m_timers.KillWhere(m_hWndPaint, [pControl](CControlUI* c) { return c == pControl; });
}

void CPaintManagerUI::RemoveAllTimers() { m_timers.KillAll(m_hWndPaint); }

void CPaintManagerUI::SetCapture() {
  ::SetCapture(m_hWndPaint);
  m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture() {
  m_bMouseCapture = false;
  ::ReleaseCapture();
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pControl) { return pControl && AddOnce(m_aNotifiers, pControl); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pControl) { return RemoveOne(m_aNotifiers, pControl); }

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam, LPARAM lParam) {
  TNotifyUI msg;
  msg.pSender = pControl;
  msg.sType = pstrMessage;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg) {
  Msg.ptMouse = m_ptLastMousePos;
  Msg.dwTimestamp = ::GetTickCount();
  ++m_nDispatchDepth;
  // A notifier may add or remove notifiers while it runs.
  std::vector<INotifyUI*> notifiers = m_aNotifiers;
  for (INotifyUI* n : notifiers) {
    if (!Contains(m_aNotifiers, n)) continue;
    n->Notify(Msg);
  }
  --m_nDispatchDepth;
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
  return pFilter && AddOnce(m_aMessageFilters, pFilter);
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) { return RemoveOne(m_aMessageFilters, pFilter); }

bool CPaintManagerUI::AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
  return m_optionGroups.Add(pStrGroupName, pControl);
}

std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR pStrGroupName) {
  return m_optionGroups.Get(pStrGroupName);
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
  m_optionGroups.Remove(pStrGroupName, pControl);
}

void CPaintManagerUI::RegisterNativeWindow(HWND hWnd, CControlUI* pControl) { m_nativeWindows[hWnd] = pControl; }

void CPaintManagerUI::UnregisterNativeWindow(HWND hWnd) { m_nativeWindows.erase(hWnd); }

void CPaintManagerUI::Layout() {
  if (!m_pRoot || !m_hWndPaint) return;
  RECT rc;
  ::GetClientRect(m_hWndPaint, &rc);
  if (::IsRectEmpty(&rc)) return;
  m_bUpdateNeeded = false;
  m_pRoot->SetPos(rc, false);
  ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Paint() {
  PAINTSTRUCT ps;
  HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
  if (!m_pRoot) {
    ::EndPaint(m_hWndPaint, &ps);
    return;
  }
  RECT client;
  ::GetClientRect(m_hWndPaint, &client);
  const int cx = client.right - client.left, cy = client.bottom - client.top;
  HDC offscreen = (cx > 0 && cy > 0) ? m_offscreen.Ensure(hdc, cx, cy) : nullptr;
  if (offscreen) {
    RECT paint = ps.rcPaint;
    int saved = ::SaveDC(offscreen);
    ::IntersectClipRect(offscreen, paint.left, paint.top, paint.right, paint.bottom);
    // A white ground under controls that leave parts transparent.
    HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::FillRect(offscreen, &paint, white);
    m_pRoot->DoPaint(offscreen, paint);
    ::RestoreDC(offscreen, saved);
    ::BitBlt(hdc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, offscreen, paint.left,
             paint.top, SRCCOPY);
  }
  ::EndPaint(m_hWndPaint, &ps);
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (!m_hWndPaint) return false;
  struct DepthGuard {
    CPaintManagerUI* m;
    explicit DepthGuard(CPaintManagerUI* pm) : m(pm) { ++m->m_nDispatchDepth; }
    ~DepthGuard() {
      if (--m->m_nDispatchDepth == 0) m->FlushDelayedCleanup();
    }
  } guard(this);

  for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(m_aMessageFilters)) {
    bool handled = false;
    LRESULT r = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = r;
      return true;
    }
  }
  if (uMsg == FlushMessage()) {
    lRes = 0;
    return true;  // the guard flushes
  }
  switch (uMsg) {
    case WM_PAINT: {
      if (m_bUpdateNeeded) Layout();
      if (m_bFirstLayout && m_pRoot) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT);
        if (m_bUpdateNeeded) Layout();
      }
      Paint();
      lRes = 0;
      return true;
    }
    case WM_ERASEBKGND:
      lRes = 1;
      return true;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && m_pRoot) {
        m_bUpdateNeeded = true;
        Layout();
      }
      return false;
    case WM_TIMER: {
      const ControlTimers::Timer* timer = m_timers.Find(wParam);
      if (!timer) return false;
      const ControlTimers::Timer t = *timer;  // the control may change the timers
      TEventUI e = MakeEvent(UIEVENT_TIMER, t.sender, t.localId, lParam);
      t.sender->Event(e);
      lRes = 0;
      return true;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return false;
      POINT pt;
      ::GetCursorPos(&pt);
      ::ScreenToClient(m_hWndPaint, &pt);
      CControlUI* control = FindControl(pt);
      if (!control || !(control->GetControlFlags() & UIFLAG_SETCURSOR)) return false;
      TEventUI e = MakeEvent(UIEVENT_SETCURSOR, control, wParam, lParam);
      control->Event(e);
      lRes = TRUE;
      return true;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
      if (!m_pFocus) return false;
      {
        TEventUI e = MakeEvent(uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_CHAR, m_pFocus, wParam, lParam);
        e.chKey = static_cast<WCHAR>(wParam);
        m_pFocus->Event(e);
      }
      return false;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      if (lParam == 0) return false;
      auto it = m_nativeWindows.find(reinterpret_cast<HWND>(lParam));
      if (it == m_nativeWindows.end()) return false;
      bool handled = false;
      LRESULT r = it->second->OnNativeMessage(uMsg, wParam, lParam, handled);
      if (handled) lRes = r;
      return handled;
    }
    case WM_DESTROY:
      RemoveAllTimers();
      return false;
    default:
      return HandleMouse(uMsg, wParam, lParam, lRes);
  }
}

}  // namespace DuiLib
