// A text label: font, colours, alignment, padding, single line or wrapped.
#pragma once

#include "winlib/control.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
 public:
  CLabelUI() = default;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  void SetTextStyle(UINT uStyle);
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextColor(DWORD dwTextColor);
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetDisabledTextColor(DWORD dwTextColor);
  void SetFont(int index);
  int GetFont() const { return m_iFont; }
  RECT GetTextPadding() const { return m_rcTextPadding; }
  void SetTextPadding(RECT rc);

  SIZE EstimateSize(SIZE szAvailable) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;

 protected:
  // Draws m_sText (or `text`) with the given colour inside the text rectangle.
  void DrawLabelText(HDC hDC, LPCTSTR text, DWORD color);

  DWORD m_dwTextColor = 0xFF333333;
  DWORD m_dwDisabledTextColor = 0xFFA0A0A0;
  int m_iFont = -1;
  UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
  RECT m_rcTextPadding{0, 0, 0, 0};
  bool m_bAutoCalcWidth = false;
};

}  // namespace DuiLib
