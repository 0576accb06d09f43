// A push button: images and colours for the normal, hot (mouse over), pushed and
// disabled states; a completed click sends "click".
#pragma once

#include "winlib/label.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  bool Activate() override;
  void SetEnabled(bool bEnable = true) override;
  void DoEvent(TEventUI& event) override;

  LPCTSTR GetNormalImage() const { return m_sNormalImage; }
  void SetNormalImage(LPCTSTR pStrImage);
  LPCTSTR GetHotImage() const { return m_sHotImage; }
  void SetHotImage(LPCTSTR pStrImage);
  LPCTSTR GetPushedImage() const { return m_sPushedImage; }
  void SetPushedImage(LPCTSTR pStrImage);
  void SetDisabledImage(LPCTSTR pStrImage);
  void SetHotBkColor(DWORD dwColor) { m_dwHotBkColor = dwColor; }
  void SetPushedBkColor(DWORD dwColor) { m_dwPushedBkColor = dwColor; }
  void SetHotTextColor(DWORD dwColor) { m_dwHotTextColor = dwColor; }
  void SetPushedTextColor(DWORD dwColor) { m_dwPushedTextColor = dwColor; }

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintBkColor(HDC hDC) override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;

 protected:
  enum : UINT { kStateHot = 1, kStatePushed = 2, kStateCaptured = 4 };

  UINT m_uButtonState = 0;
  CDuiString m_sNormalImage;
  CDuiString m_sHotImage;
  CDuiString m_sPushedImage;
  CDuiString m_sDisabledImage;
  DWORD m_dwHotBkColor = 0;
  DWORD m_dwPushedBkColor = 0;
  DWORD m_dwHotTextColor = 0;
  DWORD m_dwPushedTextColor = 0;
};

}  // namespace DuiLib
