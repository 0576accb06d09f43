#include "winlib/label.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

LPCTSTR CLabelUI::GetClass() const { return L"LabelUI"; }

LPVOID CLabelUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Label") == 0) return static_cast<CLabelUI*>(this);
  return CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetTextStyle(UINT uStyle) {
  m_uTextStyle = uStyle;
  Invalidate();
}

void CLabelUI::SetTextColor(DWORD dwTextColor) {
  m_dwTextColor = dwTextColor;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor) {
  m_dwDisabledTextColor = dwTextColor;
  Invalidate();
}

void CLabelUI::SetFont(int index) {
  m_iFont = index;
  Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc) {
  m_rcTextPadding = rc;
  Invalidate();
}

SIZE CLabelUI::EstimateSize(SIZE szAvailable) {
  if (!m_bAutoCalcWidth || m_cxyFixed.cx > 0) return m_cxyFixed;
  SIZE text = CRenderEngine::GetTextSize(m_pManager, m_sText, m_iFont, 0, DT_SINGLELINE);
  (void)szAvailable;
  return SIZE{text.cx + m_rcTextPadding.left + m_rcTextPadding.right, m_cxyFixed.cy};
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  auto is = [&](const wchar_t* n) { return EqualsNoCase(name, n); };
  SkinRect r;
  if (is(L"align")) {
    m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
    if (value.find(L"center") != std::wstring::npos) m_uTextStyle |= DT_CENTER;
    if (value.find(L"right") != std::wstring::npos) m_uTextStyle |= DT_RIGHT;
  } else if (is(L"valign")) {
    m_uTextStyle &= ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
    if (value.find(L"center") != std::wstring::npos) m_uTextStyle |= DT_VCENTER;
    if (value.find(L"bottom") != std::wstring::npos) m_uTextStyle |= DT_BOTTOM;
  } else if (is(L"multiline") || is(L"wordbreak")) {
    if (ParseBool(value)) {
      m_uTextStyle &= ~DT_SINGLELINE;
      m_uTextStyle |= DT_WORDBREAK;
    } else {
      m_uTextStyle &= ~DT_WORDBREAK;
      m_uTextStyle |= DT_SINGLELINE;
    }
  } else if (is(L"endellipsis")) {
    if (ParseBool(value)) {
      m_uTextStyle |= DT_END_ELLIPSIS;
    } else {
      m_uTextStyle &= ~DT_END_ELLIPSIS;
    }
  } else if (is(L"font")) {
    SetFont(ParseInt(value, -1));
  } else if (is(L"textcolor")) {
    SetTextColor(ParseColor(value, m_dwTextColor));
  } else if (is(L"disabledtextcolor")) {
    SetDisabledTextColor(ParseColor(value, m_dwDisabledTextColor));
  } else if (is(L"textpadding")) {
    if (ParseRect(value, &r)) SetTextPadding(RECT{r.left, r.top, r.right, r.bottom});
  } else if (is(L"autocalcwidth")) {
    m_bAutoCalcWidth = ParseBool(value);
  } else {
    CControlUI::SetAttribute(pstrName, pstrValue);
  }
}

void CLabelUI::DrawLabelText(HDC hDC, LPCTSTR text, DWORD color) {
  if (!text || !*text) return;
  RECT rc = m_rcItem;
  rc.left += m_rcTextPadding.left;
  rc.top += m_rcTextPadding.top;
  rc.right -= m_rcTextPadding.right;
  rc.bottom -= m_rcTextPadding.bottom;
  CRenderEngine::DrawText(hDC, m_pManager, rc, text, color, m_iFont, m_uTextStyle);
}

void CLabelUI::PaintText(HDC hDC) { DrawLabelText(hDC, m_sText, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor); }

}  // namespace DuiLib
