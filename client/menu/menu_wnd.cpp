#include "menu/menu_wnd.h"

#include "menu/menu_placement.h"
#include "winlib/ui_probe.h"

namespace DuiLib {

namespace {

constexpr WPARAM kCloseAll = 1;
constexpr WPARAM kCloseBelow = 2;

RECT WorkAreaOf(HWND hWnd) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info)) work = info.rcWork;
  return work;
}

menu_placement::UiRect ToUi(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

bool IsMenuElement(CControlUI* control) { return control && control->GetInterface(L"MenuElement") != nullptr; }

}  // namespace

ContextMenuObserver& GetContextMenuObserver() {
  static ContextMenuObserver observer;
  return observer;
}

INotifyUI*& ContextMenuNotifier() {
  static INotifyUI* notifier = nullptr;
  return notifier;
}

// ---- menu list ----

CMenuUI::CMenuUI() { GetListInfo()->rcTextPadding = RECT{28, 0, 8, 0}; }

LPVOID CMenuUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Menu") == 0) return static_cast<CMenuUI*>(this);
  return CListUI::GetInterface(pstrName);
}

bool CMenuUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CMenuUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!IsMenuElement(pControl)) return false;
  auto* element = static_cast<CMenuElementUI*>(pControl->GetInterface(L"MenuElement"));
  for (int i = 0; i < element->GetCount(); ++i) {
    CControlUI* child = element->GetItemAt(i);
    if (IsMenuElement(child)) {
      child->SetVisible(false);
      child->SetInternVisible(false);
    }
  }
  return CListUI::AddAt(pControl, iIndex);
}

int CMenuUI::GetItemIndex(CControlUI* pControl) const {
  if (!IsMenuElement(pControl)) return -1;
  return CListUI::GetItemIndex(pControl);
}

bool CMenuUI::SetItemIndex(CControlUI* pControl, int iIndex) {
  if (!IsMenuElement(pControl)) return false;
  return CListUI::SetItemIndex(pControl, iIndex);
}

bool CMenuUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
  if (!IsMenuElement(pControl)) return false;
  return CListUI::Remove(pControl, bDoNotDestroy);
}

SIZE CMenuUI::EstimateSize(SIZE szAvailable) {
  SIZE total{0, 0};
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = GetItemAt(i);
    if (!item->IsVisible()) continue;
    SIZE sz = item->EstimateSize(szAvailable);
    total.cy += sz.cy;
    if (sz.cx > total.cx) total.cx = sz.cx;
  }
  return total;
}

// ---- menu window ----

CMenuWnd::CMenuWnd(HWND hParent) : m_hParent(hParent) {}

bool CMenuWnd::Init(CMenuElementUI* owner, INotifyUI* notifier, STRINGorID xml, LPCTSTR skinType, int alignment, int x,
                    int y) {
  m_BasedPoint = POINT{x, y};
  m_pOwner = owner;
  m_dwAlignment = alignment;
  m_xml = xml.m_lpstr ? xml.m_lpstr : L"";
  m_sType = skinType ? skinType : L"";
  ContextMenuNotifier() = notifier;
  GetContextMenuObserver().AddReceiver(this);
  HWND parent = (owner && owner->GetManager()) ? owner->GetManager()->GetPaintWindow() : m_hParent;
  // A window that cannot be made has had its final message: this object is gone.
  if (!Create(parent, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, RECT{0, 0, 0, 0})) return false;
  ::ShowWindow(m_hWnd, SW_SHOW);
  HWND top = parent;
  while (top && ::GetParent(top)) top = ::GetParent(top);
  if (top) ::SendMessageW(top, WM_NCACTIVATE, TRUE, 0);
  return true;
}

void CMenuWnd::CreateTopLevel() {
  m_pm.Init(m_hWnd);
  m_pm.SetResourcePath(CPaintManagerUI::GetDefaultResourcePath());
  CDialogBuilder builder;
  CMenuBuilderCallback callback;
  CControlUI* root = builder.Create(m_xml.GetData(), nullptr, &callback, &m_pm);
  if (!root) return;
  m_pm.AttachDialog(root);
  if (ContextMenuNotifier()) m_pm.AddNotifier(ContextMenuNotifier());
  PlaceTopLevel(false);
}

void CMenuWnd::ResizeMenu() { PlaceTopLevel(true); }

void CMenuWnd::PlaceTopLevel(bool withInsetHeight) {
  CControlUI* root = m_pm.GetRoot();
  if (!root || !m_hWnd) return;
  const RECT work = WorkAreaOf(m_hWnd);
  const SIZE size = root->EstimateSize(SIZE{work.right - work.left, work.bottom - work.top});
  m_pm.SetInitSize(size.cx, size.cy);
  const menu_placement::UiRect rc =
      menu_placement::TopLevel({m_BasedPoint.x, m_BasedPoint.y}, {size.cx, size.cy}, m_dwAlignment);
  int extra = 0;
  auto* container = static_cast<CContainerUI*>(root->GetInterface(L"Container"));
  if (withInsetHeight && container) extra = container->GetInset().top + container->GetInset().bottom;
  ::SetForegroundWindow(m_hWnd);
  ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
  ::SetWindowPos(m_hWnd, HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top + extra, SWP_SHOWWINDOW);
}

void CMenuWnd::CreateSubmenu() {
  LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  style &= ~static_cast<LONG_PTR>(WS_CAPTION);
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  m_pm.Init(m_hWnd);
  m_pm.SetResourcePath(m_pOwner->GetManager()->GetResourcePath());
  m_pLayout = new CMenuUI;
  if (LPCTSTR defaults = m_pOwner->GetManager()->GetDefaultAttributeList(L"Menu")) {
    m_pLayout->ApplyAttributeList(defaults);
  }
  m_pLayout->SetBkColor(0xFFFFFFFF);
  m_pLayout->SetBorderColor(0xFF85E4FF);
  m_pLayout->SetBorderSize(0);
  m_pLayout->SetAutoDestroy(false);
  m_pLayout->EnableScrollBar(true);
  // The sub-items move into this window while it is open and go back when it closes.
  for (int i = 0; i < m_pOwner->GetCount();) {
    CControlUI* child = m_pOwner->GetItemAt(i);
    if (!IsMenuElement(child)) {
      ++i;
      continue;
    }
    m_pOwner->RemoveAt(i, true);
    child->SetVisible(true);
    m_pLayout->Add(child);
  }
  m_pm.AttachDialog(m_pLayout);
  if (ContextMenuNotifier()) m_pm.AddNotifier(ContextMenuNotifier());

  const RECT work = WorkAreaOf(m_hWnd);
  SIZE size{0, 0};
  for (int i = 0; i < m_pLayout->GetCount(); ++i) {
    SIZE sz = m_pLayout->GetItemAt(i)->EstimateSize(SIZE{work.right - work.left, work.bottom - work.top});
    size.cy += sz.cy;
    if (sz.cx > size.cx) size.cx = sz.cx;
  }
  size.cx += 4;
  size.cy += 4;
  PlaceSubmenu(size);
}

void CMenuWnd::PlaceSubmenu(SIZE size) {
  HWND parentWnd = m_pOwner->GetManager()->GetPaintWindow();
  RECT parent{};
  ::GetWindowRect(parentWnd, &parent);
  RECT item = m_pOwner->GetPos();
  POINT itemTop{item.left, item.top};
  ::ClientToScreen(parentWnd, &itemTop);
  bool reachRight = false;
  bool reachBottom = false;
  for (auto* receiver : GetContextMenuObserver().Receivers()) {
    auto* menu = static_cast<CMenuWnd*>(receiver);
    if (menu == this || !menu->m_hWnd) continue;
    if (menu->m_hWnd == parentWnd) break;
    RECT rc{};
    ::GetWindowRect(menu->m_hWnd, &rc);
    reachRight = rc.left >= parent.right;
    reachBottom = rc.top >= parent.bottom;
    if (reachRight || reachBottom) break;
  }
  const menu_placement::UiRect rc = menu_placement::Submenu(ToUi(parent), itemTop.y, {size.cx + 2, size.cy},
                                                            ToUi(WorkAreaOf(m_hWnd)), reachRight, reachBottom);
  ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
}

bool CMenuWnd::IsOpenMenuWindow(HWND hWnd) const {
  for (auto* receiver : GetContextMenuObserver().Receivers()) {
    if (static_cast<CMenuWnd*>(receiver)->m_hWnd == hWnd) return true;
  }
  return false;
}

BOOL CMenuWnd::Receive(ContextMenuParam param) {
  if (param.wParam == kCloseAll) {
    Close(1);
  } else if (param.wParam == kCloseBelow) {
    for (HWND up = ::GetParent(m_hWnd); up; up = ::GetParent(up)) {
      if (up == param.hWnd) {
        Close(1);
        break;
      }
    }
  }
  return TRUE;
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_COPYDATA && AnswerUiProbe(m_pm, m_hWnd, wParam, lParam)) return TRUE;
  switch (uMsg) {
    case WM_CREATE:
      if (m_pOwner) {
        CreateSubmenu();
      } else {
        CreateTopLevel();
      }
      return 0;
    case WM_KILLFOCUS: {
      HWND next = reinterpret_cast<HWND>(wParam);
      if (next && IsOpenMenuWindow(next)) return 0;
      ContextMenuParam param;
      param.wParam = kCloseAll;
      param.hWnd = m_hWnd;
      GetContextMenuObserver().RBroadcast(param);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        Close(1);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (m_pOwner && m_pOwner->GetManager()) {
        m_pOwner->SetPos(m_pOwner->GetPos(), false);
        m_pOwner->SetFocus();
      }
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_CONTEXTMENU:
      return 0;
    default:
      break;
  }
  LRESULT result = 0;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CMenuWnd::OnFinalMessage(HWND hWnd) {
  RemoveObserver();
  if (m_pOwner) {
    if (m_pLayout) {
      while (m_pLayout->GetCount() > 0) {
        CControlUI* child = m_pLayout->GetItemAt(0);
        m_pLayout->RemoveAt(0, true);
        child->SetVisible(false);
        m_pOwner->Add(child);
        child->SetInternVisible(false);
      }
    }
    // List items have no pushed state: the owner keeps its selection and is redrawn.
    m_pOwner->ForgetMenuWnd();
    m_pOwner->Invalidate();
  }
  CWindowWnd::OnFinalMessage(hWnd);
  delete this;
}

// ---- menu item ----

CMenuElementUI::CMenuElementUI() { SetFixedHeight(25); }

LPVOID CMenuElementUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"MenuElement") == 0) return static_cast<CMenuElementUI*>(this);
  return CListContainerElementUI::GetInterface(pstrName);
}

bool CMenuElementUI::HasSubItems() const {
  for (int i = 0; i < GetCount(); ++i) {
    if (IsMenuElement(GetItemAt(i))) return true;
  }
  return false;
}

void CMenuElementUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_MOUSEENTER) {
    CListContainerElementUI::DoEvent(event);
    if (m_pWindow) return;
    if (HasSubItems()) {
      Select(true, false);
      CreateMenuWnd();
    } else if (m_pManager) {
      ContextMenuParam param;
      param.wParam = kCloseBelow;
      param.hWnd = m_pManager->GetPaintWindow();
      GetContextMenuObserver().RBroadcast(param);
      Select(true, false);
    }
    return;
  }
  if (event.Type == UIEVENT_BUTTONDOWN) {
    if (!IsEnabled()) return;
    CListContainerElementUI::DoEvent(event);
    if (m_pWindow) return;
    if (HasSubItems()) {
      CreateMenuWnd();
    } else {
      ContextMenuParam param;
      param.wParam = kCloseAll;
      param.hWnd = m_pManager ? m_pManager->GetPaintWindow() : nullptr;
      GetContextMenuObserver().RBroadcast(param);
    }
    return;
  }
  CListContainerElementUI::DoEvent(event);
}

bool CMenuElementUI::Activate() {
  if (!CListContainerElementUI::Activate()) return false;
  TEventUI event;
  event.Type = UIEVENT_BUTTONDOWN;
  event.pSender = this;
  event.dwTimestamp = ::GetTickCount();
  DoEvent(event);
  return true;
}

void CMenuElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  // Sub-items are hidden while they belong to the item: only icons and the like show.
  CListContainerElementUI::DoPaint(hDC, rcPaint);
}

void CMenuElementUI::PaintText(HDC hDC) {
  if (m_sText.IsEmpty()) return;
  PaintStateText(hDC, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

SIZE CMenuElementUI::EstimateSize(SIZE szAvailable) {
  SIZE size{0, 0};
  bool hasChildren = false;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* child = GetItemAt(i);
    if (!child->IsVisible() || IsMenuElement(child)) continue;
    hasChildren = true;
    SIZE sz = child->EstimateSize(szAvailable);
    size.cy += sz.cy;
    if (sz.cx > size.cx) size.cx = sz.cx;
  }
  if (!hasChildren) {
    TListInfoUI defaults;
    const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : &defaults;
    SIZE text = CRenderEngine::GetTextSize(m_pManager, m_sText.IsEmpty() ? L" " : m_sText.GetData(), info->nFont, 0,
                                           DT_SINGLELINE);
    size.cx = text.cx + info->rcTextPadding.left + info->rcTextPadding.right + 20;
    size.cy = text.cy + info->rcTextPadding.top + info->rcTextPadding.bottom;
  }
  // Only a fixed height wins: the width follows the text and the children.
  if (m_cxyFixed.cy > 0) size.cy = m_cxyFixed.cy;
  return size;
}

void CMenuElementUI::CreateMenuWnd() {
  if (m_pWindow || !m_pManager) return;
  m_pWindow = new CMenuWnd(m_pManager->GetPaintWindow());
  ContextMenuParam param;
  param.wParam = kCloseBelow;
  param.hWnd = m_pManager->GetPaintWindow();
  GetContextMenuObserver().RBroadcast(param);
  // A menu that cannot open has forgotten itself here already.
  (void)m_pWindow->Init(this, ContextMenuNotifier(), L"", L"", 6, 0, 0);
}

// ---- builder ----

CControlUI* CMenuBuilderCallback::CreateControl(LPCTSTR pstrClass) {
  if (_wcsicmp(pstrClass, L"Menu") == 0) return new CMenuUI;
  if (_wcsicmp(pstrClass, L"MenuElement") == 0) return new CMenuElementUI;
  return nullptr;
}

}  // namespace DuiLib
