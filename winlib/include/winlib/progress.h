// A horizontal bar showing a value between a minimum and a maximum.
#pragma once

#include "winlib/label.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  int GetMinValue() const { return m_nMin; }
  void SetMinValue(int nMin);
  int GetMaxValue() const { return m_nMax; }
  void SetMaxValue(int nMax);
  int GetValue() const { return m_nValue; }
  virtual void SetValue(int nValue);

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;

 protected:
  // The filled part of the bar for the current value.
  RECT FilledRect() const;

  int m_nMin = 0;
  int m_nMax = 100;
  int m_nValue = 0;
  DWORD m_dwForeColor = 0xFF2D7FF9;
  CDuiString m_sForeImage;
};

}  // namespace DuiLib
