#include "winlib/control.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (m_pManager) m_pManager->ReapObjects(this);
}

void CControlUI::SetName(LPCTSTR pstrName) { m_sName = pstrName; }

LPCTSTR CControlUI::GetClass() const { return L"ControlUI"; }

LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Control") == 0) return this;
  return nullptr;
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  m_pManager = pManager;
  m_pParent = pParent;
  if (bInit && m_pManager) Init();
}

void CControlUI::SetText(LPCTSTR pstrText) {
  if (m_sText == pstrText) return;
  m_sText = pstrText;
  Invalidate();
}

void CControlUI::SetBkColor(DWORD dwColor) {
  if (m_dwBackColor == dwColor) return;
  m_dwBackColor = dwColor;
  Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR pStrImage) {
  if (m_sBkImage == pStrImage) return;
  m_sBkImage = pStrImage;
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD dwColor) {
  m_dwBorderColor = dwColor;
  Invalidate();
}

void CControlUI::SetBorderSize(int nSize) {
  m_nBorderSize = nSize;
  Invalidate();
}

void CControlUI::SetBorderRound(SIZE cxyRound) {
  m_cxyBorderRound = cxyRound;
  Invalidate();
}

bool CControlUI::DrawImage(HDC hDC, LPCTSTR pStrImage) {
  return CRenderEngine::DrawImageString(hDC, m_pManager, m_rcItem, m_rcPaint, pStrImage);
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  if (bNeedInvalidate && m_pManager && ::EqualRect(&rc, &m_rcItem) == FALSE) {
    RECT old = m_rcItem;
    m_pManager->Invalidate(old);
  }
  m_rcItem = rc;
  m_bUpdateNeeded = false;
  if (bNeedInvalidate) Invalidate();
}

void CControlUI::SetPadding(RECT rcPadding) {
  m_rcPadding = rcPadding;
  NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE szXY) {
  m_cXY = szXY;
  if (m_bFloat) NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  m_cxyFixed.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  m_cxyFixed.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
  if (cx < 0) return;
  m_cxyMin.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx) {
  if (cx < 0) return;
  m_cxyMax.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy) {
  if (cy < 0) return;
  m_cxyMin.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy) {
  if (cy < 0) return;
  m_cxyMax.cy = cy;
  NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE /*szAvailable*/) { return m_cxyFixed; }

void CControlUI::SetUserData(LPCTSTR pstrText) { m_sUserData = pstrText; }

void CControlUI::SetVisible(bool bVisible) {
  if (m_bVisible == bVisible) return;
  bool was = IsVisible();
  m_bVisible = bVisible;
  if (m_bFocused && !bVisible) m_bFocused = false;
  if (!bVisible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
  if (IsVisible() != was) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool bVisible) {
  m_bInternVisible = bVisible;
  if (!bVisible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool bEnable) {
  if (m_bEnabled == bEnable) return;
  m_bEnabled = bEnable;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFloat(bool bFloat) {
  if (m_bFloat == bFloat) return;
  m_bFloat = bFloat;
  NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) {
  if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if (uFlags & UIFIND_HITTEST) {
    if (!m_bMouseEnabled) return nullptr;
    POINT pt = *static_cast<LPPOINT>(pData);
    if (!::PtInRect(&m_rcItem, pt)) return nullptr;
  }
  return Proc(this, pData);
}

void CControlUI::Invalidate() {
  if (!IsVisible() || !m_pManager) return;
  RECT rc = m_rcItem;
  // Keep the repaint inside the visible part of every ancestor.
  for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
    RECT parent = p->GetPos();
    if (!::IntersectRect(&rc, &rc, &parent)) return;
  }
  m_pManager->Invalidate(rc);
}

void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  m_bUpdateNeeded = true;
  Invalidate();
  if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (m_pParent) {
    m_pParent->NeedUpdate();
    m_pParent->Invalidate();
  } else {
    NeedUpdate();
  }
  if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::Init() { DoInit(); }

void CControlUI::Event(TEventUI& event) { DoEvent(event); }

void CControlUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
      return;
    case UIEVENT_SETFOCUS:
      m_bFocused = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      m_bFocused = false;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      return;
    default:
      break;
  }
  if (m_pParent) m_pParent->DoEvent(event);
}

LRESULT CControlUI::OnNativeMessage(UINT, WPARAM, LPARAM, bool& bHandled) {
  bHandled = false;
  return 0;
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  auto is = [&](const wchar_t* n) { return EqualsNoCase(name, n); };
  SkinRect r;
  SkinSize s;
  if (is(L"pos")) {
    if (ParseRect(value, &r)) {
      SetFixedXY(SIZE{r.left, r.top});
      SetFixedWidth(r.Width() > 0 ? r.Width() : 0);
      SetFixedHeight(r.Height() > 0 ? r.Height() : 0);
    }
  } else if (is(L"padding")) {
    if (ParseRect(value, &r)) SetPadding(RECT{r.left, r.top, r.right, r.bottom});
  } else if (is(L"bkcolor")) {
    SetBkColor(ParseColor(value));
  } else if (is(L"bordercolor")) {
    SetBorderColor(ParseColor(value));
  } else if (is(L"focusbordercolor")) {
    m_dwFocusBorderColor = ParseColor(value);
  } else if (is(L"bordersize")) {
    SetBorderSize(ParseInt(value));
  } else if (is(L"borderround")) {
    if (ParseSize(value, &s)) SetBorderRound(SIZE{s.cx, s.cy});
  } else if (is(L"bkimage")) {
    SetBkImage(pstrValue);
  } else if (is(L"width")) {
    SetFixedWidth(ParseInt(value));
  } else if (is(L"height")) {
    SetFixedHeight(ParseInt(value));
  } else if (is(L"minwidth")) {
    SetMinWidth(ParseInt(value));
  } else if (is(L"minheight")) {
    SetMinHeight(ParseInt(value));
  } else if (is(L"maxwidth")) {
    SetMaxWidth(ParseInt(value));
  } else if (is(L"maxheight")) {
    SetMaxHeight(ParseInt(value));
  } else if (is(L"name")) {
    SetName(pstrValue);
  } else if (is(L"text")) {
    SetText(pstrValue);
  } else if (is(L"tooltip")) {
    SetToolTip(pstrValue);
  } else if (is(L"userdata")) {
    SetUserData(pstrValue);
  } else if (is(L"enabled")) {
    SetEnabled(ParseBool(value));
  } else if (is(L"mouse")) {
    SetMouseEnabled(ParseBool(value));
  } else if (is(L"visible")) {
    SetVisible(ParseBool(value));
  } else if (is(L"float")) {
    SetFloat(ParseBool(value));
  }
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
  // name="value" pairs; values may use double or single quotes.
  const std::wstring list(pstrList ? pstrList : L"");
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && iswspace(list[i])) ++i;
    size_t name_start = i;
    while (i < list.size() && list[i] != L'=' && !iswspace(list[i])) ++i;
    std::wstring name = list.substr(name_start, i - name_start);
    while (i < list.size() && iswspace(list[i])) ++i;
    if (i >= list.size() || list[i] != L'=') break;
    ++i;
    while (i < list.size() && iswspace(list[i])) ++i;
    if (i >= list.size() || (list[i] != L'"' && list[i] != L'\'')) break;
    wchar_t quote = list[i++];
    size_t end = list.find(quote, i);
    if (end == std::wstring::npos) break;
    std::wstring value = list.substr(i, end - i);
    i = end + 1;
    if (!name.empty()) SetAttribute(name.c_str(), value.c_str());
  }
  return this;
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
  PaintBkColor(hDC);
  PaintBkImage(hDC);
  PaintStatusImage(hDC);
  PaintText(hDC);
  PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
  if ((m_dwBackColor >> 24) == 0) return;
  if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
    CRenderEngine::DrawRoundColor(hDC, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy, m_dwBackColor);
  } else {
    CRenderEngine::DrawColor(hDC, m_rcItem, m_dwBackColor);
  }
}

void CControlUI::PaintBkImage(HDC hDC) {
  if (m_sBkImage.IsEmpty()) return;
  DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
  if (m_nBorderSize <= 0) return;
  DWORD color = (m_bFocused && (m_dwFocusBorderColor >> 24)) ? m_dwFocusBorderColor : m_dwBorderColor;
  if ((color >> 24) == 0) return;
  if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
    CRenderEngine::DrawRoundRect(hDC, m_rcItem, m_nBorderSize, m_cxyBorderRound.cx, m_cxyBorderRound.cy, color);
  } else {
    CRenderEngine::DrawRect(hDC, m_rcItem, m_nBorderSize, color);
  }
}

}  // namespace DuiLib
