// A drop-down choice: holds list items, shows the selected one's text and opens a popup
// list on a click. A new selection sends "itemselect" (wParam new index, lParam old one).
// Changing the items closes an open drop-down without applying its choice.
#pragma once

#include "winlib/container.h"
#include "winlib/list.h"

namespace DuiLib {

class CComboWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
 public:
  CComboUI();
  ~CComboUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  CDuiString GetText() const override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;

  TListInfoUI* GetListInfo() override { return &m_ListInfo; }
  int GetCurSel() const override { return m_iCurSel; }
  bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
  bool Activate() override;
  void CloseDropDown();

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetInternVisible(bool bVisible = true) override;
  CControlUI* FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 private:
  friend class CComboWnd;
  void OnDropDownGone() { m_pWindow = nullptr; }
  // Closes an open drop-down without applying its rows: called when the items change.
  void AbandonDropDown();

  TListInfoUI m_ListInfo;
  int m_iCurSel = -1;
  int m_iDropBoxHeight = 200;
  int m_iFont = -1;
  DWORD m_dwTextColor = 0xFF333333;
  RECT m_rcTextPadding{8, 0, 24, 0};
  bool m_bHot = false;
  CComboWnd* m_pWindow = nullptr;
};

}  // namespace DuiLib
