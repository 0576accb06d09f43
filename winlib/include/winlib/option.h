// A button with a selected state: alone it toggles, in a group exactly one is selected.
// A change of state sends "selectchanged".
#pragma once

#include "winlib/button.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  bool Activate() override;

  LPCTSTR GetGroup() const { return m_sGroupName; }
  void SetGroup(LPCTSTR pStrGroupName);
  bool IsSelected() const { return m_bSelected; }
  virtual void Selected(bool bSelected, bool bTriggerEvent = true);
  void SetSelectedImage(LPCTSTR pStrImage);
  void SetSelectedHotImage(LPCTSTR pStrImage);

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintBkColor(HDC hDC) override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;

 protected:
  bool m_bSelected = false;
  CDuiString m_sGroupName;
  CDuiString m_sSelectedImage;
  CDuiString m_sSelectedHotImage;
  DWORD m_dwSelectedBkColor = 0;
  DWORD m_dwSelectedTextColor = 0;
};

class CCheckBoxUI : public COptionUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void SetCheck(bool bCheck, bool bTriggerEvent = true) { Selected(bCheck, bTriggerEvent); }
  bool GetCheck() const { return IsSelected(); }
};

}  // namespace DuiLib
