// A progress bar with a thumb the user drags; the value changes in steps and
// "valuechanged" is sent when the thumb is released or clicked to a new place.
#pragma once

#include "winlib/progress.h"

namespace DuiLib {

class CSliderUI : public CProgressUI {
 public:
  CSliderUI();

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  void SetChangeStep(int step) { m_nStep = step > 0 ? step : 1; }
  void SetEnabled(bool bEnable = true) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintBkColor(HDC hDC) override;
  void PaintStatusImage(HDC hDC) override;

 private:
  int ValueAt(int x) const;
  RECT ThumbRect() const;
  RECT TrackRect() const;

  int m_nStep = 1;
  int m_nThumbSize = 14;
  bool m_bDragging = false;
  DWORD m_dwThumbColor = 0xFFFFFFFF;
  DWORD m_dwThumbBorderColor = 0xFF2D7FF9;
};

}  // namespace DuiLib
