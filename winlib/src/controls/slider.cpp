#include "winlib/slider.h"

#include <algorithm>
#include <climits>
#include <string>

#include "winlib/paint_manager.h"
#include "winlib/render_engine.h"
#include "winlib/skin_values.h"

namespace DuiLib {

CSliderUI::CSliderUI() { m_dwBackColor = 0; }

LPCTSTR CSliderUI::GetClass() const { return L"SliderUI"; }

LPVOID CSliderUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Slider") == 0) return static_cast<CSliderUI*>(this);
  return CProgressUI::GetInterface(pstrName);
}

UINT CSliderUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_SETCURSOR | UIFLAG_TABSTOP) : 0; }

void CSliderUI::SetEnabled(bool bEnable) {
  CProgressUI::SetEnabled(bEnable);
  if (!bEnable) m_bDragging = false;
}

RECT CSliderUI::TrackRect() const {
  int cy = (m_rcItem.top + m_rcItem.bottom) / 2;
  return RECT{m_rcItem.left + m_nThumbSize / 2, cy - 2, m_rcItem.right - m_nThumbSize / 2, cy + 2};
}

RECT CSliderUI::ThumbRect() const {
  RECT track = TrackRect();
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  int x = track.left + (range > 0 ? static_cast<int>(static_cast<long long>(track.right - track.left) *
                                                     (static_cast<long long>(m_nValue) - m_nMin) / range)
                                  : 0);
  int cy = (m_rcItem.top + m_rcItem.bottom) / 2;
  return RECT{x - m_nThumbSize / 2, cy - m_nThumbSize / 2, x + m_nThumbSize / 2, cy + m_nThumbSize / 2};
}

int CSliderUI::ValueAt(int x) const {
  RECT track = TrackRect();
  int width = track.right - track.left;
  if (width <= 0) return m_nMin;
  if (x <= track.left) return m_nMin;
  if (x >= track.right) return m_nMax;
  // In 64 bits: the range may not fit an int. The result lies between the limits.
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  const long long offset = (static_cast<long long>(x - track.left) * range + width / 2) / width;
  return static_cast<int>(m_nMin + offset / m_nStep * m_nStep);
}

void CSliderUI::DoEvent(TEventUI& event) {
  if (!IsEnabled()) {
    CProgressUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      m_bDragging = true;
      SetValue(ValueAt(event.ptMouse.x));
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bDragging) SetValue(ValueAt(event.ptMouse.x));
      return;
    case UIEVENT_BUTTONUP:
      if (m_bDragging) {
        m_bDragging = false;
        if (event.ptMouse.x >= 0) SetValue(ValueAt(event.ptMouse.x));
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
      }
      return;
    case UIEVENT_SCROLLWHEEL: {
      int delta = static_cast<int>(static_cast<short>(HIWORD(event.wParam)));
      const long long next = static_cast<long long>(m_nValue) + (delta > 0 ? m_nStep : -m_nStep);
      SetValue(static_cast<int>(std::clamp<long long>(next, INT_MIN, INT_MAX)));
      if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
      return;
    }
    case UIEVENT_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return;
    default:
      break;
  }
  CProgressUI::DoEvent(event);
}

void CSliderUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"step")) {
    SetChangeStep(ParseInt(value, 1));
  } else if (EqualsNoCase(name, L"thumbsize")) {
    SkinSize s;
    if (ParseSize(value, &s)) m_nThumbSize = s.cx > 0 ? s.cx : m_nThumbSize;
  } else if (EqualsNoCase(name, L"thumbcolor")) {
    m_dwThumbColor = ParseColor(value, m_dwThumbColor);
  } else {
    CProgressUI::SetAttribute(pstrName, pstrValue);
  }
}

void CSliderUI::PaintBkColor(HDC hDC) {
  CProgressUI::PaintBkColor(hDC);
  CRenderEngine::DrawRoundColor(hDC, TrackRect(), 4, 4, IsEnabled() ? 0xFFDDE2E8 : 0xFFEEEEEE);
}

void CSliderUI::PaintStatusImage(HDC hDC) {
  RECT track = TrackRect();
  RECT thumb = ThumbRect();
  RECT filled{track.left, track.top, (thumb.left + thumb.right) / 2, track.bottom};
  DWORD fore = IsEnabled() ? m_dwForeColor : 0xFFC0C6CE;
  if (filled.right > filled.left) CRenderEngine::DrawRoundColor(hDC, filled, 4, 4, fore);
  CRenderEngine::DrawEllipse(hDC, thumb, IsEnabled() ? m_dwThumbBorderColor : 0xFFC0C6CE);
  RECT inner{thumb.left + 2, thumb.top + 2, thumb.right - 2, thumb.bottom - 2};
  CRenderEngine::DrawEllipse(hDC, inner, m_dwThumbColor);
}

}  // namespace DuiLib
