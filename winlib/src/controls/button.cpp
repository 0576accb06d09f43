#include "winlib/button.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

LPCTSTR CButtonUI::GetClass() const { return L"ButtonUI"; }

LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Button") == 0) return static_cast<CButtonUI*>(this);
  return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const { return (IsEnabled() ? UIFLAG_SETCURSOR : 0) | UIFLAG_TABSTOP; }

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
  return true;
}

void CButtonUI::SetEnabled(bool bEnable) {
  CControlUI::SetEnabled(bEnable);
  if (!bEnable) m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type > UIEVENT_FIRST && event.Type < UIEVENT_SETFOCUS) {
    if (m_pParent) m_pParent->DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled() && ::PtInRect(&m_rcItem, event.ptMouse)) {
        m_uButtonState |= kStatePushed | kStateCaptured;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_uButtonState & kStateCaptured) {
        UINT before = m_uButtonState;
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
          m_uButtonState |= kStatePushed;
        } else {
          m_uButtonState &= ~kStatePushed;
        }
        if (before != m_uButtonState) Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_uButtonState & kStateCaptured) {
        bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
        m_uButtonState &= ~(kStatePushed | kStateCaptured);
        Invalidate();
        if (inside) Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        m_uButtonState |= kStateHot;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      m_uButtonState &= ~kStateHot;
      Invalidate();
      return;
    case UIEVENT_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) {
        Activate();
        return;
      }
      break;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

void CButtonUI::SetNormalImage(LPCTSTR pStrImage) {
  m_sNormalImage = pStrImage;
  Invalidate();
}

void CButtonUI::SetHotImage(LPCTSTR pStrImage) {
  m_sHotImage = pStrImage;
  Invalidate();
}

void CButtonUI::SetPushedImage(LPCTSTR pStrImage) {
  m_sPushedImage = pStrImage;
  Invalidate();
}

void CButtonUI::SetDisabledImage(LPCTSTR pStrImage) {
  m_sDisabledImage = pStrImage;
  Invalidate();
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  auto is = [&](const wchar_t* n) { return EqualsNoCase(name, n); };
  if (is(L"normalimage")) {
    SetNormalImage(pstrValue);
  } else if (is(L"hotimage")) {
    SetHotImage(pstrValue);
  } else if (is(L"pushedimage")) {
    SetPushedImage(pstrValue);
  } else if (is(L"disabledimage")) {
    SetDisabledImage(pstrValue);
  } else if (is(L"hotbkcolor")) {
    SetHotBkColor(ParseColor(value));
    Invalidate();
  } else if (is(L"pushedbkcolor")) {
    SetPushedBkColor(ParseColor(value));
    Invalidate();
  } else if (is(L"hottextcolor")) {
    SetHotTextColor(ParseColor(value));
    Invalidate();
  } else if (is(L"pushedtextcolor")) {
    SetPushedTextColor(ParseColor(value));
    Invalidate();
  } else {
    CLabelUI::SetAttribute(pstrName, pstrValue);
  }
}

void CButtonUI::PaintBkColor(HDC hDC) {
  DWORD color = m_dwBackColor;
  if (IsEnabled()) {
    if ((m_uButtonState & kStatePushed) && (m_dwPushedBkColor >> 24)) {
      color = m_dwPushedBkColor;
    } else if ((m_uButtonState & (kStateHot | kStatePushed)) && (m_dwHotBkColor >> 24)) {
      color = m_dwHotBkColor;
    }
  }
  if ((color >> 24) == 0) return;
  if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
    CRenderEngine::DrawRoundColor(hDC, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy, color);
  } else {
    CRenderEngine::DrawColor(hDC, m_rcItem, color);
  }
}

void CButtonUI::PaintStatusImage(HDC hDC) {
  if (!IsEnabled()) {
    if (!m_sDisabledImage.IsEmpty() && DrawImage(hDC, m_sDisabledImage)) return;
  } else if (m_uButtonState & kStatePushed) {
    if (!m_sPushedImage.IsEmpty() && DrawImage(hDC, m_sPushedImage)) return;
  } else if (m_uButtonState & kStateHot) {
    if (!m_sHotImage.IsEmpty() && DrawImage(hDC, m_sHotImage)) return;
  }
  if (!m_sNormalImage.IsEmpty()) DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintText(HDC hDC) {
  DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
  if (IsEnabled()) {
    if ((m_uButtonState & kStatePushed) && (m_dwPushedTextColor >> 24)) {
      color = m_dwPushedTextColor;
    } else if ((m_uButtonState & (kStateHot | kStatePushed)) && (m_dwHotTextColor >> 24)) {
      color = m_dwHotTextColor;
    }
  }
  DrawLabelText(hDC, m_sText, color);
}

}  // namespace DuiLib
