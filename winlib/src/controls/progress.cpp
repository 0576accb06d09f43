#include "winlib/progress.h"

#include <string>

#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

CProgressUI::CProgressUI() {
  m_uTextStyle = DT_SINGLELINE | DT_CENTER | DT_VCENTER;
  m_dwBackColor = 0xFFE4E8EE;
}

LPCTSTR CProgressUI::GetClass() const { return L"ProgressUI"; }

LPVOID CProgressUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Progress") == 0) return static_cast<CProgressUI*>(this);
  return CLabelUI::GetInterface(pstrName);
}

void CProgressUI::SetMinValue(int nMin) {
  m_nMin = nMin;
  if (m_nMax < m_nMin) m_nMax = m_nMin;
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetMaxValue(int nMax) {
  m_nMax = nMax;
  if (m_nMin > m_nMax) m_nMin = m_nMax;
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetValue(int nValue) {
  if (nValue < m_nMin) nValue = m_nMin;
  if (nValue > m_nMax) nValue = m_nMax;
  if (nValue == m_nValue) return;
  m_nValue = nValue;
  Invalidate();
}

void CProgressUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"min")) {
    SetMinValue(ParseInt(value));
  } else if (EqualsNoCase(name, L"max")) {
    SetMaxValue(ParseInt(value, 100));
  } else if (EqualsNoCase(name, L"value")) {
    SetValue(ParseInt(value));
  } else if (EqualsNoCase(name, L"forecolor")) {
    m_dwForeColor = ParseColor(value, m_dwForeColor);
  } else if (EqualsNoCase(name, L"foreimage")) {
    m_sForeImage = pstrValue;
  } else {
    CLabelUI::SetAttribute(pstrName, pstrValue);
  }
}

RECT CProgressUI::FilledRect() const {
  // In 64 bits: a range from INT_MIN to INT_MAX does not fit an int.
  RECT rc = m_rcItem;
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  const long long width = rc.right - rc.left;
  rc.right = rc.left + (range > 0 ? static_cast<int>(width * (static_cast<long long>(m_nValue) - m_nMin) / range) : 0);
  return rc;
}

void CProgressUI::PaintStatusImage(HDC hDC) {
  RECT filled = FilledRect();
  if (filled.right <= filled.left) return;
  if (!m_sForeImage.IsEmpty()) {
    int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, filled.left, filled.top, filled.right, filled.bottom);
    DrawImage(hDC, m_sForeImage);
    ::RestoreDC(hDC, saved);
    return;
  }
  if (m_cxyBorderRound.cx > 0) {
    CRenderEngine::DrawRoundColor(hDC, filled, m_cxyBorderRound.cx, m_cxyBorderRound.cy, m_dwForeColor);
  } else {
    CRenderEngine::DrawColor(hDC, filled, m_dwForeColor);
  }
}

}  // namespace DuiLib
