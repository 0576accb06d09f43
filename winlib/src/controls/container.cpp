#include "winlib/container.h"

#include <algorithm>

#include "winlib/box_layout.h"
#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {
namespace {

constexpr int kScrollBarWidth = 8;
constexpr int kWheelStep = 40;

BoxChild ToBoxChild(CControlUI* c) {
  BoxChild b;
  b.visible = c->IsVisible();
  b.is_float = c->IsFloat();
  SIZE xy = c->GetFixedXY();
  SIZE est = c->EstimateSize(SIZE{0, 0});
  b.fixed_width = est.cx > 0 ? est.cx : c->GetFixedWidth();
  b.fixed_height = est.cy > 0 ? est.cy : c->GetFixedHeight();
  b.float_pos = SkinRect{xy.cx, xy.cy, xy.cx + b.fixed_width, xy.cy + b.fixed_height};
  b.min_width = c->GetMinWidth();
  b.min_height = c->GetMinHeight();
  b.max_width = c->GetMaxWidth();
  b.max_height = c->GetMaxHeight();
  RECT p = c->GetPadding();
  b.padding = SkinRect{p.left, p.top, p.right, p.bottom};
  return b;
}

BoxAlign ToAlign(int v) { return v == 1 ? BoxAlign::kCenter : (v == 2 ? BoxAlign::kEnd : BoxAlign::kStart); }

RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

CControlUI* CALLBACK FindByName(CControlUI* c, LPVOID data) {
  return c->GetName() == static_cast<LPCTSTR>(data) ? c : nullptr;
}

}  // namespace

CContainerUI::~CContainerUI() {
  for (CControlUI* c : m_items) {
    if (m_pManager) m_pManager->ReapObjects(c);
    if (m_bAutoDestroy) delete c;
  }
  m_items.clear();
}

LPCTSTR CContainerUI::GetClass() const { return L"ContainerUI"; }

LPVOID CContainerUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
  if (_wcsicmp(pstrName, L"Container") == 0) return static_cast<CContainerUI*>(this);
  return CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
  if (iIndex < 0 || iIndex >= static_cast<int>(m_items.size())) return nullptr;
  return m_items[static_cast<size_t>(iIndex)];
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
  auto it = std::find(m_items.begin(), m_items.end(), pControl);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* pControl, int iIndex) {
  int from = GetItemIndex(pControl);
  if (from < 0 || iIndex < 0 || iIndex >= GetCount()) return false;
  m_items.erase(m_items.begin() + from);
  m_items.insert(m_items.begin() + iIndex, pControl);
  NeedUpdate();
  return true;
}

int CContainerUI::GetCount() const { return static_cast<int>(m_items.size()); }

bool CContainerUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!pControl || iIndex < 0 || iIndex > GetCount()) return false;
  if (GetItemIndex(pControl) >= 0) return false;
  m_items.insert(m_items.begin() + iIndex, pControl);
  if (m_pManager) {
    m_pManager->InitControls(pControl, this);
  } else {
    pControl->SetManager(nullptr, this, false);
  }
  pControl->SetInternVisible(IsVisible());
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
  int index = GetItemIndex(pControl);
  if (index < 0) return false;
  return RemoveAt(index, bDoNotDestroy);
}

bool CContainerUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
  CControlUI* c = GetItemAt(iIndex);
  if (!c) return false;
  m_items.erase(m_items.begin() + iIndex);
  if (m_pManager) m_pManager->ReapObjects(c);
  if (m_bAutoDestroy && !bDoNotDestroy) {
    if (m_bDelayedDestroy && m_pManager) {
      m_pManager->AddDelayedCleanup(c);
    } else {
      delete c;
    }
  }
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(m_items);
  for (CControlUI* c : items) {
    if (m_pManager) m_pManager->ReapObjects(c);
    if (!m_bAutoDestroy) continue;
    if (m_bDelayedDestroy && m_pManager) {
      m_pManager->AddDelayedCleanup(c);
    } else {
      delete c;
    }
  }
  m_iScrollY = 0;
  NeedUpdate();
}

void CContainerUI::SetInset(RECT rcInset) {
  m_rcInset = rcInset;
  NeedUpdate();
}

void CContainerUI::SetChildPadding(int iPadding) {
  m_iChildPadding = iPadding;
  NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool bEnableVertical) {
  m_bScrollEnabled = bEnableVertical;
  NeedUpdate();
}

int CContainerUI::GetScrollRange() const {
  RECT inner = InnerRect();
  return std::max(0, m_iContentHeight - static_cast<int>(inner.bottom - inner.top));
}

void CContainerUI::SetScrollPos(int y) {
  y = std::max(0, std::min(y, GetScrollRange()));
  if (y == m_iScrollY) return;
  m_iScrollY = y;
  SetPos(m_rcItem, true);
}

CControlUI* CContainerUI::FindSubControl(LPCTSTR pstrSubControlName) {
  if (!pstrSubControlName) return nullptr;
  for (CControlUI* c : m_items) {
    CControlUI* r = c->FindControl(FindByName, const_cast<LPTSTR>(pstrSubControlName), UIFIND_ALL);
    if (r) return r;
  }
  return nullptr;
}

void CContainerUI::SetVisible(bool bVisible) {
  if (m_bVisible == bVisible) return;
  CControlUI::SetVisible(bVisible);
  for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
  CControlUI::SetInternVisible(bVisible);
  for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool bEnable) { CControlUI::SetEnabled(bEnable); }

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  for (CControlUI* c : m_items) c->SetManager(pManager, this, bInit);
  CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) {
  if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if (uFlags & UIFIND_HITTEST) {
    if (!::PtInRect(&m_rcItem, *static_cast<LPPOINT>(pData))) return nullptr;
  }
  if (uFlags & UIFIND_ME_FIRST) {
    CControlUI* self = CControlUI::FindControl(Proc, pData, uFlags);
    if (self) return self;
  }
  bool search_children = true;
  if (uFlags & UIFIND_HITTEST) {
    RECT inner = InnerRect();
    search_children = m_bMouseChildEnabled && ::PtInRect(&inner, *static_cast<LPPOINT>(pData));
  }
  if (search_children) {
    const int n = GetCount();
    for (int k = 0; k < n; ++k) {
      int i = (uFlags & UIFIND_TOP_FIRST) ? n - 1 - k : k;
      CControlUI* r = m_items[static_cast<size_t>(i)]->FindControl(Proc, pData, uFlags);
      if (r) return r;
    }
  }
  if (uFlags & UIFIND_ME_FIRST) return nullptr;
  return CControlUI::FindControl(Proc, pData, uFlags);
}

RECT CContainerUI::InnerRect() const {
  RECT rc{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top, m_rcItem.right - m_rcInset.right,
          m_rcItem.bottom - m_rcInset.bottom};
  if (m_bScrollVisible) rc.right -= kScrollBarWidth;
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  LayoutChildren();
}

void CContainerUI::LayoutChildren() {
  RECT inner = InnerRect();
  for (CControlUI* c : m_items) {
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      SIZE xy = c->GetFixedXY();
      c->SetPos(RECT{m_rcItem.left + xy.cx, m_rcItem.top + xy.cy, m_rcItem.left + xy.cx + c->GetFixedWidth(),
                     m_rcItem.top + xy.cy + c->GetFixedHeight()},
                false);
    } else {
      RECT p = c->GetPadding();
      c->SetPos(RECT{inner.left + p.left, inner.top + p.top, inner.right - p.right, inner.bottom - p.bottom}, false);
    }
  }
}

void CContainerUI::ApplyScrollExtent(int content_extent) {
  m_iContentHeight = content_extent;
  RECT inner = InnerRect();
  int range = std::max(0, content_extent - static_cast<int>(inner.bottom - inner.top));
  if (m_iScrollY > range) m_iScrollY = range;
}

void CContainerUI::DoEvent(TEventUI& event) {
  if (m_bScrollVisible) {
    if (event.Type == UIEVENT_SCROLLWHEEL) {
      int delta = static_cast<int>(static_cast<short>(HIWORD(event.wParam)));
      SetScrollPos(m_iScrollY + (delta > 0 ? -kWheelStep : kWheelStep));
      return;
    }
    RECT thumb = ScrollThumbRect();
    if (event.Type == UIEVENT_BUTTONDOWN && ::PtInRect(&thumb, event.ptMouse)) {
      m_bDraggingThumb = true;
      m_iDragOffset = event.ptMouse.y - thumb.top;
      return;
    }
    if (event.Type == UIEVENT_MOUSEMOVE && m_bDraggingThumb) {
      RECT inner = InnerRect();
      int track = (inner.bottom - inner.top) - (thumb.bottom - thumb.top);
      if (track > 0) {
        int y = event.ptMouse.y - m_iDragOffset - inner.top;
        SetScrollPos(static_cast<int>(static_cast<long long>(y) * GetScrollRange() / track));
      }
      return;
    }
    if (event.Type == UIEVENT_BUTTONUP && m_bDraggingThumb) {
      m_bDraggingThumb = false;
      return;
    }
  }
  CControlUI::DoEvent(event);
}

RECT CContainerUI::ScrollThumbRect() const {
  RECT inner = InnerRect();
  int view = inner.bottom - inner.top;
  if (m_iContentHeight <= 0 || view <= 0) return RECT{0, 0, 0, 0};
  int thumb = std::max(20, static_cast<int>(static_cast<long long>(view) * view / m_iContentHeight));
  thumb = std::min(thumb, view);
  int range = GetScrollRange();
  int top = inner.top + (range > 0 ? static_cast<int>(static_cast<long long>(view - thumb) * m_iScrollY / range) : 0);
  return RECT{inner.right + 2, top, inner.right + kScrollBarWidth - 1, top + thumb};
}

void CContainerUI::PaintScrollBar(HDC hDC) {
  if (!m_bScrollVisible) return;
  RECT thumb = ScrollThumbRect();
  CRenderEngine::DrawRoundColor(hDC, thumb, 5, 5, m_dwScrollThumbColor);
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT tmp;
  if (!::IntersectRect(&tmp, &rcPaint, &m_rcItem)) return;
  CControlUI::DoPaint(hDC, rcPaint);
  if (m_items.empty()) return;
  RECT inner = InnerRect();
  RECT clip;
  if (::IntersectRect(&clip, &rcPaint, &inner)) {
    int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, clip.left, clip.top, clip.right, clip.bottom);
    for (CControlUI* c : m_items) {
      if (!c->IsVisible() || c->IsFloat()) continue;
      RECT cr = c->GetPos();
      RECT part;
      if (!::IntersectRect(&part, &clip, &cr)) continue;
      c->DoPaint(hDC, part);
    }
    ::RestoreDC(hDC, saved);
  }
  // Floating children may lie over the inset; keep them inside the container.
  RECT outer;
  if (::IntersectRect(&outer, &rcPaint, &m_rcItem)) {
    for (CControlUI* c : m_items) {
      if (!c->IsVisible() || !c->IsFloat()) continue;
      RECT cr = c->GetPos();
      RECT part;
      if (!::IntersectRect(&part, &outer, &cr)) continue;
      int saved = ::SaveDC(hDC);
      ::IntersectClipRect(hDC, part.left, part.top, part.right, part.bottom);
      c->DoPaint(hDC, part);
      ::RestoreDC(hDC, saved);
    }
  }
  PaintScrollBar(hDC);
}

void CContainerUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  SkinRect r;
  if (EqualsNoCase(name, L"inset")) {
    if (ParseRect(value, &r)) SetInset(RECT{r.left, r.top, r.right, r.bottom});
  } else if (EqualsNoCase(name, L"childpadding")) {
    SetChildPadding(ParseInt(value));
  } else if (EqualsNoCase(name, L"childalign")) {
    m_iChildAlign = EqualsNoCase(value, L"center") ? 1 : (EqualsNoCase(value, L"right") ? 2 : 0);
  } else if (EqualsNoCase(name, L"childvalign")) {
    m_iChildVAlign = EqualsNoCase(value, L"vcenter") || EqualsNoCase(value, L"center")
                         ? 1
                         : (EqualsNoCase(value, L"bottom") ? 2 : 0);
  } else if (EqualsNoCase(name, L"vscrollbar")) {
    EnableScrollBar(ParseBool(value));
  } else if (EqualsNoCase(name, L"mousechild")) {
    SetMouseChildEnabled(ParseBool(value));
  } else if (EqualsNoCase(name, L"scrollthumbcolor")) {
    m_dwScrollThumbColor = ParseColor(value, m_dwScrollThumbColor);
  } else {
    CControlUI::SetAttribute(pstrName, pstrValue);
  }
}

// ---- column and row ----

LPCTSTR CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"VerticalLayout") == 0) return static_cast<CVerticalLayoutUI*>(this);
  return CContainerUI::GetInterface(pstrName);
}

void CVerticalLayoutUI::LayoutChildren() {
  std::vector<BoxChild> kids;
  kids.reserve(m_items.size());
  for (CControlUI* c : m_items) kids.push_back(ToBoxChild(c));
  auto run = [&]() {
    BoxParams p;
    p.bounds = SkinRect{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
    p.inset = SkinRect{m_rcInset.left, m_rcInset.top, m_rcInset.right + (m_bScrollVisible ? kScrollBarWidth : 0),
                       m_rcInset.bottom};
    p.child_padding = m_iChildPadding;
    p.cross_align = ToAlign(m_iChildAlign);
    p.main_align = ToAlign(m_iChildVAlign);
    p.scroll = m_bScrollVisible ? m_iScrollY : 0;
    return LayoutColumn(p, kids);
  };
  BoxResult result = run();
  if (m_bScrollEnabled) {
    int view = (m_rcItem.bottom - m_rcItem.top) - m_rcInset.top - m_rcInset.bottom;
    bool need = result.content_extent > view;
    if (need != m_bScrollVisible) {
      m_bScrollVisible = need;
      if (!need) m_iScrollY = 0;
      result = run();
    }
    int before = m_iScrollY;
    ApplyScrollExtent(result.content_extent);
    if (before != m_iScrollY) result = run();
  } else {
    m_bScrollVisible = false;
    m_iScrollY = 0;
    m_iContentHeight = result.content_extent;
  }
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i]->IsVisible()) m_items[i]->SetPos(ToRect(result.rects[i]), false);
  }
}

LPCTSTR CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"HorizontalLayout") == 0) return static_cast<CHorizontalLayoutUI*>(this);
  return CContainerUI::GetInterface(pstrName);
}

void CHorizontalLayoutUI::LayoutChildren() {
  std::vector<BoxChild> kids;
  kids.reserve(m_items.size());
  for (CControlUI* c : m_items) kids.push_back(ToBoxChild(c));
  BoxParams p;
  p.bounds = SkinRect{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
  p.inset = SkinRect{m_rcInset.left, m_rcInset.top, m_rcInset.right, m_rcInset.bottom};
  p.child_padding = m_iChildPadding;
  p.main_align = ToAlign(m_iChildAlign);
  p.cross_align = ToAlign(m_iChildVAlign);
  BoxResult result = LayoutRow(p, kids);
  m_bScrollVisible = false;
  for (size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i]->IsVisible()) m_items[i]->SetPos(ToRect(result.rects[i]), false);
  }
}

// ---- tab layout ----

LPCTSTR CTabLayoutUI::GetClass() const { return L"TabLayoutUI"; }

LPVOID CTabLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"TabLayout") == 0) return static_cast<CTabLayoutUI*>(this);
  return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!CContainerUI::AddAt(pControl, iIndex)) return false;
  if (m_iCurSel >= 0 && iIndex <= m_iCurSel) ++m_iCurSel;
  if (m_iCurSel < 0 && iIndex == m_iPendingSel) {
    m_iCurSel = iIndex;
    pControl->SetVisible(true);
  } else {
    pControl->SetVisible(false);
  }
  return true;
}

// Remove comes here too.
bool CTabLayoutUI::RemoveAt(int index, bool bDoNotDestroy) {
  if (!CContainerUI::RemoveAt(index, bDoNotDestroy)) return false;
  if (m_iCurSel == index) {
    m_iCurSel = -1;
    if (GetCount() > 0) SelectItem(0);
    return true;
  } else if (m_iCurSel > index) {
    --m_iCurSel;
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  m_iCurSel = -1;
  CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SetItemIndex(CControlUI* pControl, int iIndex) {
  CControlUI* shown = GetItemAt(m_iCurSel);
  if (!CContainerUI::SetItemIndex(pControl, iIndex)) return false;
  m_iCurSel = GetItemIndex(shown);
  return true;
}

bool CTabLayoutUI::SelectItem(int iIndex) {
  if (iIndex < 0 || iIndex >= GetCount()) return false;
  if (iIndex == m_iCurSel) return true;
  m_iCurSel = iIndex;
  for (int i = 0; i < GetCount(); ++i) m_items[static_cast<size_t>(i)]->SetVisible(i == iIndex);
  NeedParentUpdate();
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl) { return SelectItem(GetItemIndex(pControl)); }

void CTabLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (_wcsicmp(pstrName, L"selectedid") == 0) {
    int index = ParseInt(pstrValue, 0);
    m_iPendingSel = index;
    if (index < GetCount()) SelectItem(index);
    return;
  }
  CContainerUI::SetAttribute(pstrName, pstrValue);
}

}  // namespace DuiLib
