#include "winlib/list.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {
namespace {

IListItemUI* AsItem(CControlUI* c) { return c ? static_cast<IListItemUI*>(c->GetInterface(L"ListItem")) : nullptr; }

// Background of an item in its state; 0 when the item keeps its own background.
DWORD ItemBkColor(IListOwnerUI* owner, bool selected, bool hot, bool enabled) {
  if (!owner) return 0;
  TListInfoUI* info = owner->GetListInfo();
  if (!enabled) return info->dwBkColor;
  if (selected && (info->dwSelectedBkColor >> 24)) return info->dwSelectedBkColor;
  if (hot && (info->dwHotBkColor >> 24)) return info->dwHotBkColor;
  return info->dwBkColor;
}

void PaintItemLine(HDC hDC, IListOwnerUI* owner, const RECT& rc) {
  if (!owner) return;
  DWORD line = owner->GetListInfo()->dwLineColor;
  if (line >> 24) CRenderEngine::DrawColor(hDC, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}, line);
}

}  // namespace

void ListSyncItems(CContainerUI* owner, IListOwnerUI* list_owner) {
  for (int i = 0; i < owner->GetCount(); ++i) {
    IListItemUI* item = AsItem(owner->GetItemAt(i));
    if (!item) continue;
    item->SetIndex(i);
    item->SetOwner(list_owner ? static_cast<CControlUI*>(owner) : nullptr);
  }
}

void ListDetachItem(CControlUI* control) {
  IListItemUI* item = AsItem(control);
  if (item) item->SetOwner(nullptr);
}

void ListDetachItems(CContainerUI* owner) {
  for (int i = 0; i < owner->GetCount(); ++i) ListDetachItem(owner->GetItemAt(i));
}

int ListSelectionAfterRemove(int iCurSel, int iRemoved) {
  if (iRemoved == iCurSel) return -1;
  return iRemoved < iCurSel ? iCurSel - 1 : iCurSel;
}

bool ListMoveItem(CContainerUI* owner, IListOwnerUI* list_owner, CControlUI* pControl, int iIndex, int* iCurSel) {
  CControlUI* selected = owner->GetItemAt(*iCurSel);
  if (!owner->CContainerUI::SetItemIndex(pControl, iIndex)) return false;
  *iCurSel = selected ? owner->CContainerUI::GetItemIndex(selected) : -1;
  ListSyncItems(owner, list_owner);
  return true;
}

bool ApplyListInfoAttribute(TListInfoUI* info, LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  auto is = [&](const wchar_t* n) { return EqualsNoCase(name, n); };
  SkinRect r;
  if (is(L"itemfont")) {
    info->nFont = ParseInt(value, -1);
  } else if (is(L"itemalign")) {
    info->uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
    if (value.find(L"center") != std::wstring::npos) info->uTextStyle |= DT_CENTER;
    if (value.find(L"right") != std::wstring::npos) info->uTextStyle |= DT_RIGHT;
  } else if (is(L"itemtextpadding")) {
    if (ParseRect(value, &r)) info->rcTextPadding = RECT{r.left, r.top, r.right, r.bottom};
  } else if (is(L"itemtextcolor")) {
    info->dwTextColor = ParseColor(value, info->dwTextColor);
  } else if (is(L"itembkcolor")) {
    info->dwBkColor = ParseColor(value, info->dwBkColor);
  } else if (is(L"itemselectedtextcolor")) {
    info->dwSelectedTextColor = ParseColor(value, info->dwSelectedTextColor);
  } else if (is(L"itemselectedbkcolor")) {
    info->dwSelectedBkColor = ParseColor(value, info->dwSelectedBkColor);
  } else if (is(L"itemhottextcolor")) {
    info->dwHotTextColor = ParseColor(value, info->dwHotTextColor);
  } else if (is(L"itemhotbkcolor")) {
    info->dwHotBkColor = ParseColor(value, info->dwHotBkColor);
  } else if (is(L"itemdisabledtextcolor")) {
    info->dwDisabledTextColor = ParseColor(value, info->dwDisabledTextColor);
  } else if (is(L"itemlinecolor")) {
    info->dwLineColor = ParseColor(value, info->dwLineColor);
  } else if (is(L"itemheight")) {
    info->iItemHeight = ParseInt(value, 0);
  } else {
    return false;
  }
  return true;
}

// ---- list ----

CListUI::CListUI() { m_bScrollEnabled = true; }

LPCTSTR CListUI::GetClass() const { return L"ListUI"; }

LPVOID CListUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"List") == 0) return static_cast<CListUI*>(this);
  if (_wcsicmp(pstrName, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
  return CVerticalLayoutUI::GetInterface(pstrName);
}

UINT CListUI::GetControlFlags() const { return UIFLAG_TABSTOP; }

bool CListUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!CVerticalLayoutUI::AddAt(pControl, iIndex)) return false;
  if (m_iCurSel >= iIndex && m_iCurSel >= 0) ++m_iCurSel;
  ListSyncItems(this, this);
  return true;
}

bool CListUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
  CControlUI* c = GetItemAt(iIndex);
  if (!c) return false;
  ListDetachItem(c);
  if (!CVerticalLayoutUI::RemoveAt(iIndex, bDoNotDestroy)) return false;
  m_iCurSel = ListSelectionAfterRemove(m_iCurSel, iIndex);
  ListSyncItems(this, this);
  return true;
}

void CListUI::RemoveAll() {
  ListDetachItems(this);
  m_iCurSel = -1;
  CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SetItemIndex(CControlUI* pControl, int iIndex) {
  return ListMoveItem(this, this, pControl, iIndex, &m_iCurSel);
}

bool CListUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  if (m_iCurSel >= 0) {
    IListItemUI* item = AsItem(GetItemAt(m_iCurSel));
    m_iCurSel = -1;
    if (item) item->Select(false, bTriggerEvent);
  }
  if (iIndex < 0) {
    if (bTriggerEvent && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(-1), old);
    return false;
  }
  CControlUI* control = GetItemAt(iIndex);
  IListItemUI* item = AsItem(control);
  if (!item || !control->IsVisible() || !control->IsEnabled()) return false;
  m_iCurSel = iIndex;
  if (!item->Select(true, bTriggerEvent)) {
    m_iCurSel = -1;
    return false;
  }
  EnsureVisible(iIndex);
  if (bTakeFocus) control->SetFocus();
  if (bTriggerEvent && m_pManager)
    m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(iIndex), old);
  return true;
}

void CListUI::EnsureVisible(int iIndex) {
  CControlUI* c = GetItemAt(iIndex);
  if (!c || !m_bScrollVisible) return;
  RECT inner = InnerRect();
  RECT rc = c->GetPos();
  if (rc.top < inner.top) {
    SetScrollPos(GetScrollPos() - (inner.top - rc.top));
  } else if (rc.bottom > inner.bottom) {
    SetScrollPos(GetScrollPos() + (rc.bottom - inner.bottom));
  }
}

int CListUI::FindSelectable(int iFrom, int iStep) const {
  for (int i = iFrom; i >= 0 && i < GetCount(); i += iStep) {
    CControlUI* c = GetItemAt(i);
    if (AsItem(c) && c->IsVisible() && c->IsEnabled()) return i;
  }
  return -1;
}

void CListUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_KEYDOWN && (event.chKey == VK_UP || event.chKey == VK_DOWN)) {
    // Items that cannot be selected are passed over; past the last one the selection stays.
    const int step = event.chKey == VK_UP ? -1 : 1;
    const int next = FindSelectable(m_iCurSel + step, step);
    if (next >= 0) {
      SelectItem(next, true);
      return;
    }
  }
  CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (ApplyListInfoAttribute(&m_ListInfo, pstrName, pstrValue)) {
    Invalidate();
    return;
  }
  if (_wcsicmp(pstrName, L"header") == 0) return;  // lists here have no header
  CVerticalLayoutUI::SetAttribute(pstrName, pstrValue);
}

// ---- items ----

template <class TBase>
LPVOID CListItemUIBase<TBase>::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"ListItem") == 0) return static_cast<IListItemUI*>(this);
  return TBase::GetInterface(pstrName);
}

template <class TBase>
UINT CListItemUIBase<TBase>::GetControlFlags() const {
  return UIFLAG_WANTRETURN;
}

template <class TBase>
void CListItemUIBase<TBase>::SetOwner(CControlUI* pOwner) {
  m_pOwner = pOwner ? static_cast<IListOwnerUI*>(pOwner->GetInterface(L"IListOwner")) : nullptr;
}

template <class TBase>
bool CListItemUIBase<TBase>::Select(bool bSelect, bool bTriggerEvent) {
  // A disabled item is not selected, but one selected before may still be let go.
  if (bSelect && !this->IsEnabled()) return false;
  if (bSelect == m_bSelected) return true;
  m_bSelected = bSelect;
  if (bSelect && m_pOwner) m_pOwner->SelectItem(m_iIndex, false, bTriggerEvent);
  this->Invalidate();
  return true;
}

template <class TBase>
void CListItemUIBase<TBase>::SetVisible(bool bVisible) {
  TBase::SetVisible(bVisible);
  if (!this->IsVisible() && m_bSelected) {
    m_bSelected = false;
    if (m_pOwner) m_pOwner->SelectItem(-1, false, false);
  }
}

template <class TBase>
void CListItemUIBase<TBase>::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
      if (this->IsEnabled()) {
        if (this->m_pManager) this->m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMCLICK);
        Select();
        this->Invalidate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (this->IsEnabled()) {
        m_bHot = true;
        this->Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      m_bHot = false;
      this->Invalidate();
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_MOUSEMOVE:
      return;
    default:
      break;
  }
  TBase::DoEvent(event);
}

template <class TBase>
void CListItemUIBase<TBase>::PaintBkColor(HDC hDC) {
  DWORD color = ItemBkColor(m_pOwner, m_bSelected, m_bHot, this->IsEnabled());
  if (color >> 24) CRenderEngine::DrawColor(hDC, this->m_rcItem, color);
  TBase::PaintBkColor(hDC);
  PaintItemLine(hDC, m_pOwner, this->m_rcItem);
}

template <class TBase>
void CListItemUIBase<TBase>::PaintStateText(HDC hDC, UINT uStyle) {
  TListInfoUI defaults;
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : &defaults;
  DWORD color = info->dwTextColor;
  if (!this->IsEnabled()) {
    color = info->dwDisabledTextColor;
  } else if (m_bSelected) {
    color = info->dwSelectedTextColor;
  } else if (m_bHot) {
    color = info->dwHotTextColor;
  }
  RECT rc = this->m_rcItem;
  rc.left += info->rcTextPadding.left;
  rc.right -= info->rcTextPadding.right;
  rc.top += info->rcTextPadding.top;
  rc.bottom -= info->rcTextPadding.bottom;
  CRenderEngine::DrawText(hDC, this->m_pManager, rc, this->m_sText, color, info->nFont, uStyle);
}

template class CListItemUIBase<CControlUI>;
template class CListItemUIBase<CHorizontalLayoutUI>;

// ---- label item ----

LPCTSTR CListElementUI::GetClass() const { return L"ListElementUI"; }

LPVOID CListElementUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"ListElement") == 0) return static_cast<CListElementUI*>(this);
  return CListItemUIBase::GetInterface(pstrName);
}

LPCTSTR CListLabelElementUI::GetClass() const { return L"ListLabelElementUI"; }

LPVOID CListLabelElementUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"ListLabelElement") == 0) return static_cast<CListLabelElementUI*>(this);
  return CListElementUI::GetInterface(pstrName);
}

SIZE CListLabelElementUI::EstimateSize(SIZE szAvailable) {
  if (m_cxyFixed.cy > 0) return m_cxyFixed;
  if (m_pOwner && m_pOwner->GetListInfo()->iItemHeight > 0) {
    return SIZE{m_cxyFixed.cx, m_pOwner->GetListInfo()->iItemHeight};
  }
  TListInfoUI defaults;
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : &defaults;
  SIZE text = CRenderEngine::GetTextSize(m_pManager, m_sText.IsEmpty() ? L" " : m_sText.GetData(), info->nFont, 0,
                                         DT_SINGLELINE);
  (void)szAvailable;
  return SIZE{m_cxyFixed.cx, text.cy + info->rcTextPadding.top + info->rcTextPadding.bottom + 10};
}

void CListLabelElementUI::PaintText(HDC hDC) {
  TListInfoUI defaults;
  PaintStateText(hDC, (m_pOwner ? m_pOwner->GetListInfo() : &defaults)->uTextStyle);
}

// ---- container item ----

LPCTSTR CListContainerElementUI::GetClass() const { return L"ListContainerElementUI"; }

LPVOID CListContainerElementUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"ListContainerElement") == 0) return static_cast<CListContainerElementUI*>(this);
  return CListItemUIBase::GetInterface(pstrName);
}

void CListContainerElementUI::PaintText(HDC hDC) {
  if (m_sText.IsEmpty()) return;
  TListInfoUI defaults;
  const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : &defaults;
  RECT rc = m_rcItem;
  rc.left += info->rcTextPadding.left;
  rc.right -= info->rcTextPadding.right;
  CRenderEngine::DrawText(hDC, m_pManager, rc, m_sText, m_bSelected ? info->dwSelectedTextColor : info->dwTextColor,
                          info->nFont, info->uTextStyle);
}

}  // namespace DuiLib
