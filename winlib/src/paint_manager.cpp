#include "winlib/paint_manager.h"

#include <windowsx.h>

#include <algorithm>

#include "render_internal.h"
#include "winlib/control.h"
#include "winlib/render_engine.h"

namespace DuiLib {
namespace {

HINSTANCE g_instance = nullptr;
std::wstring& DefaultResourcePath() {
  static std::wstring path;
  return path;
}
std::wstring& DefaultFontFamilies() {
  static std::wstring families = L"Microsoft YaHei,WenQuanYi Micro Hei,DejaVu Sans";
  return families;
}
constexpr int kDefaultFontKey = -0x7FFF;

UINT FlushMessage() {
  static UINT msg = ::RegisterWindowMessageW(L"WinlibFlushDelayedCleanup");
  return msg;
}

template <class T>
bool Contains(const std::vector<T*>& v, const T* item) {
  return std::find(v.begin(), v.end(), item) != v.end();
}

// Appends `item` unless it is already there; false when it was.
template <class T>
bool AddOnce(std::vector<T*>& v, T* item) {
  if (Contains(v, item)) return false;
  v.push_back(item);
  return true;
}

// Removes `item`; false when it was not there.
template <class T>
bool RemoveOne(std::vector<T*>& v, T* item) {
  auto it = std::find(v.begin(), v.end(), item);
  if (it == v.end()) return false;
  v.erase(it);
  return true;
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

std::wstring ResolveFamily(const std::wstring& list) {
  size_t start = 0;
  std::wstring first;
  while (start <= list.size()) {
    size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring name = list.substr(start, end - start);
    while (!name.empty() && name.front() == L' ') name.erase(name.begin());
    while (!name.empty() && name.back() == L' ') name.pop_back();
    if (!name.empty()) {
      if (first.empty()) first = name;
      if (CRenderEngine::IsFontFamilyInstalled(name.c_str())) return name;
    }
    start = end + 1;
  }
  return first.empty() ? L"DejaVu Sans" : first;
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
  for (auto& f : m_fonts) {
    if (f.second.hFont) ::DeleteObject(f.second.hFont);
  }
  if (m_hDcOffscreen) {
    ::SelectObject(m_hDcOffscreen, m_hbmpOld);
    ::DeleteDC(m_hDcOffscreen);
  }
  if (m_hbmpOffscreen) ::DeleteObject(m_hbmpOffscreen);
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

HINSTANCE CPaintManagerUI::GetInstance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { g_instance = hInst; }

CDuiString CPaintManagerUI::GetInstancePath() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  return CDuiString(slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1));
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
  m_sResourcePath = pStrPath;
  if (!m_sResourcePath.IsEmpty()) {
    wchar_t last = m_sResourcePath[m_sResourcePath.GetLength() - 1];
    if (last != L'\\' && last != L'/') m_sResourcePath += L'\\';
  }
}

CDuiString CPaintManagerUI::GetDefaultResourcePath() {
  return DefaultResourcePath().empty() ? GetInstancePath() : CDuiString(DefaultResourcePath());
}

void CPaintManagerUI::SetDefaultResourcePath(LPCTSTR pStrPath) {
  std::wstring p(pStrPath ? pStrPath : L"");
  if (!p.empty() && p.back() != L'\\' && p.back() != L'/') p.push_back(L'\\');
  DefaultResourcePath() = p;
}

void CPaintManagerUI::SetDefaultFontFamilies(LPCTSTR families) { DefaultFontFamilies() = families ? families : L""; }

void CPaintManagerUI::AddFont(int id, LPCTSTR families, int size, bool bold, bool underline, bool italic,
                              bool isDefault) {
  TFontInfo info;
  info.family = ResolveFamily(families ? families : DefaultFontFamilies());
  info.size = size > 0 ? size : 12;
  info.bold = bold;
  info.underline = underline;
  info.italic = italic;
  auto it = m_fonts.find(id);
  if (it != m_fonts.end() && it->second.hFont) ::DeleteObject(it->second.hFont);
  m_fonts[id] = info;
  if (isDefault) m_defaultFontId = id;
}

const TFontInfo* CPaintManagerUI::GetFontInfo(int id) {
  auto it = m_fonts.find(id);
  if (it != m_fonts.end()) return &it->second;
  if (m_defaultFontId != -1) {
    it = m_fonts.find(m_defaultFontId);
    if (it != m_fonts.end()) return &it->second;
  }
  it = m_fonts.find(kDefaultFontKey);
  if (it == m_fonts.end()) {
    TFontInfo info;
    info.family = ResolveFamily(DefaultFontFamilies());
    info.size = 12;
    it = m_fonts.emplace(kDefaultFontKey, info).first;
  }
  return &it->second;
}

HFONT CPaintManagerUI::GetFont(int id) {
  auto* info = const_cast<TFontInfo*>(GetFontInfo(id));
  if (!info->hFont) {
    info->hFont = ::CreateFontW(-info->size, 0, 0, 0, info->bold ? FW_BOLD : FW_NORMAL, info->italic,
                                info->underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                CLEARTYPE_QUALITY, DEFAULT_PITCH, info->family.c_str());
  }
  return info->hFont;
}

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
  for (auto it = m_aTimers.begin(); it != m_aTimers.end();) {
    if (IsInSubtree(it->sender, pControl)) {
      if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->win_id);
      it = m_aTimers.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& group : m_optionGroups) {
    auto& v = group.second;
    v.erase(std::remove_if(v.begin(), v.end(), [&](CControlUI* c) { return IsInSubtree(c, pControl); }), v.end());
  }
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

void CPaintManagerUI::DropFocus(CControlUI* pNext) {
  if (!m_pFocus) return;
  CControlUI* old = m_pFocus;
  m_pFocus = nullptr;
  TEventUI e = MakeEvent(UIEVENT_KILLFOCUS, pNext, 0, 0);
  old->Event(e);
  SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
  if (pControl == m_pFocus) return;
  DropFocus(pControl);
  if (!pControl || pControl->GetManager() != this || !pControl->IsVisible() || !pControl->IsEnabled()) return;
  m_pFocus = pControl;
  if (m_hWndPaint && ::GetFocus() != m_hWndPaint && !::IsChild(m_hWndPaint, ::GetFocus())) {
    ::SetFocus(m_hWndPaint);
  }
  TEventUI e = MakeEvent(UIEVENT_SETFOCUS, pControl, 0, 0);
  m_pFocus->Event(e);
  if (m_pFocus) SendNotify(m_pFocus, DUI_MSGTYPE_SETFOCUS);
}

void CPaintManagerUI::OnNativeFocus(CControlUI* pControl, bool bGot) {
  if (bGot) {
    if (m_pFocus == pControl) return;
    DropFocus(pControl);
    m_pFocus = pControl;
    TEventUI e = MakeEvent(UIEVENT_SETFOCUS, pControl, 0, 0);
    pControl->Event(e);
    SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
  } else {
    if (m_pFocus != pControl) return;
    DropFocus(nullptr);
  }
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
  if (!pControl || !m_hWndPaint) return false;
  for (auto& t : m_aTimers) {
    if (t.sender == pControl && t.local_id == nTimerID) {
      return ::SetTimer(m_hWndPaint, t.win_id, uElapse, nullptr) != 0;
    }
  }
  UINT_PTR id = m_uNextTimerId++;
  if (!::SetTimer(m_hWndPaint, id, uElapse, nullptr)) return false;
  m_aTimers.push_back(TimerInfo{pControl, nTimerID, id});
  return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
  for (auto it = m_aTimers.begin(); it != m_aTimers.end(); ++it) {
    if (it->sender == pControl && it->local_id == nTimerID) {
      if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->win_id);
      m_aTimers.erase(it);
      return true;
    }
  }
  return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
  for (auto it = m_aTimers.begin(); it != m_aTimers.end();) {
    if (it->sender == pControl) {
      if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->win_id);
      it = m_aTimers.erase(it);
    } else {
      ++it;
    }
  }
}

void CPaintManagerUI::RemoveAllTimers() {
  for (auto& t : m_aTimers) {
    if (m_hWndPaint && ::IsWindow(m_hWndPaint)) ::KillTimer(m_hWndPaint, t.win_id);
  }
  m_aTimers.clear();
}

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
  return AddOnce(m_optionGroups[pStrGroupName], pControl);
}

std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR pStrGroupName) {
  auto it = m_optionGroups.find(pStrGroupName);
  return it == m_optionGroups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
  auto it = m_optionGroups.find(pStrGroupName);
  if (it == m_optionGroups.end()) return;
  auto& v = it->second;
  v.erase(std::remove(v.begin(), v.end(), pControl), v.end());
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
  if (cx > 0 && cy > 0) {
    if (!m_hDcOffscreen || m_szOffscreen.cx < cx || m_szOffscreen.cy < cy) {
      if (m_hDcOffscreen) {
        ::SelectObject(m_hDcOffscreen, m_hbmpOld);
        ::DeleteDC(m_hDcOffscreen);
      }
      if (m_hbmpOffscreen) ::DeleteObject(m_hbmpOffscreen);
      void* bits = nullptr;
      m_hDcOffscreen = ::CreateCompatibleDC(hdc);
      m_hbmpOffscreen = CreateTopDownDib(hdc, cx, cy, &bits);
      m_hbmpOld = ::SelectObject(m_hDcOffscreen, m_hbmpOffscreen);
      m_szOffscreen = SIZE{cx, cy};
    }
    RECT paint = ps.rcPaint;
    int saved = ::SaveDC(m_hDcOffscreen);
    ::IntersectClipRect(m_hDcOffscreen, paint.left, paint.top, paint.right, paint.bottom);
    // A white ground under controls that leave parts transparent.
    HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::FillRect(m_hDcOffscreen, &paint, white);
    m_pRoot->DoPaint(m_hDcOffscreen, paint);
    ::RestoreDC(m_hDcOffscreen, saved);
    ::BitBlt(hdc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, m_hDcOffscreen,
             paint.left, paint.top, SRCCOPY);
  }
  ::EndPaint(m_hWndPaint, &ps);
}

bool CPaintManagerUI::HandleMouse(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  lRes = 0;
  switch (uMsg) {
    case WM_MOUSEMOVE: {
      if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        ::TrackMouseEvent(&tme);
        m_bMouseTracking = true;
      }
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* hover = FindControl(m_ptLastMousePos);
      if (hover && hover->GetManager() != this) hover = nullptr;
      if (hover != m_pEventHover && m_pEventHover) {
        TEventUI e = MakeEvent(UIEVENT_MOUSELEAVE, m_pEventHover, wParam, lParam);
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        old->Event(e);
      }
      if (hover != m_pEventHover && hover) {
        m_pEventHover = hover;
        TEventUI e = MakeEvent(UIEVENT_MOUSEENTER, hover, wParam, lParam);
        hover->Event(e);
      }
      CControlUI* target = m_pEventClick ? m_pEventClick : m_pEventHover;
      if (target) {
        TEventUI e = MakeEvent(UIEVENT_MOUSEMOVE, target, wParam, lParam);
        target->Event(e);
      }
      return false;
    }
    case WM_MOUSELEAVE: {
      m_bMouseTracking = false;
      if (m_pEventHover && !m_pEventClick) {
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        TEventUI e = MakeEvent(UIEVENT_MOUSELEAVE, old, wParam, lParam);
        old->Event(e);
      }
      return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // Take the keyboard focus back from native children.
      if (::GetFocus() != m_hWndPaint) ::SetFocus(m_hWndPaint);
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      m_pEventClick = control;
      control->SetFocus();
      SetCapture();
      if (m_pEventClick) {
        TEventUI e = MakeEvent(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, control, wParam, lParam);
        m_pEventClick->Event(e);
      }
      return false;
    }
    case WM_LBUTTONUP: {
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      // Forget the pressed control before releasing the capture: the release sends
      // WM_CAPTURECHANGED, which would otherwise end the press outside the control.
      CControlUI* control = m_pEventClick;
      m_pEventClick = nullptr;
      if (m_bMouseCapture) ReleaseCapture();
      if (!control) return false;
      TEventUI e = MakeEvent(UIEVENT_BUTTONUP, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_RBUTTONDOWN: {
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_RBUTTONDOWN, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_CONTEXTMENU: {
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_CONTEXTMENU, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ScreenToClient(m_hWndPaint, &pt);
      m_ptLastMousePos = pt;
      CControlUI* control = FindControl(pt);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_SCROLLWHEEL, control, wParam, lParam);
      control->Event(e);
      lRes = 0;
      return true;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != m_hWndPaint && m_pEventClick) {
        // Capture taken away (e.g. by a popup): finish the press outside the control.
        m_bMouseCapture = false;
        CControlUI* control = m_pEventClick;
        m_pEventClick = nullptr;
        TEventUI e = MakeEvent(UIEVENT_BUTTONUP, control, 0, 0);
        e.ptMouse = POINT{-1, -1};
        control->Event(e);
      }
      return false;
    default:
      return false;
  }
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
    case WM_TIMER:
      for (const TimerInfo& t : std::vector<TimerInfo>(m_aTimers)) {
        if (t.win_id != wParam) continue;
        TEventUI e = MakeEvent(UIEVENT_TIMER, t.sender, t.local_id, lParam);
        t.sender->Event(e);
        lRes = 0;
        return true;
      }
      return false;
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
