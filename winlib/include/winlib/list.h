// Lists: a scrolling column of items with one selected item. Items are text labels or
// containers of other controls. A press on an item sends "itemclick" (from the item),
// a new selection "itemselect" (from the list; wParam new index, lParam old index).
#pragma once

#include "winlib/container.h"
#include "winlib/label.h"

namespace DuiLib {

struct TListInfoUI {
  int nFont = -1;
  UINT uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
  RECT rcTextPadding{8, 0, 8, 0};
  DWORD dwTextColor = 0xFF333333;
  DWORD dwBkColor = 0;
  DWORD dwSelectedTextColor = 0xFF1A1A1A;
  DWORD dwSelectedBkColor = 0xFFDCEAFE;
  DWORD dwHotTextColor = 0xFF1A1A1A;
  DWORD dwHotBkColor = 0xFFF0F4FA;
  DWORD dwDisabledTextColor = 0xFFA0A0A0;
  DWORD dwLineColor = 0;
  int iItemHeight = 0;  // default height of label items
};

class IListOwnerUI {
 public:
  virtual TListInfoUI* GetListInfo() = 0;
  virtual int GetCurSel() const = 0;
  virtual bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) = 0;

 protected:
  ~IListOwnerUI() = default;
};

class IListItemUI {
 public:
  virtual int GetIndex() const = 0;
  virtual void SetIndex(int iIndex) = 0;
  virtual IListOwnerUI* GetOwner() = 0;
  virtual void SetOwner(CControlUI* pOwner) = 0;
  virtual bool IsSelected() const = 0;
  virtual bool Select(bool bSelect = true, bool bTriggerEvent = true) = 0;

 protected:
  ~IListItemUI() = default;
};

// Keeps owner and index of the items of a list-like container.
void ListSyncItems(CContainerUI* owner, IListOwnerUI* list_owner);
// Clears the owner of one item / of all items of a list-like container, before removal.
void ListDetachItem(CControlUI* control);
void ListDetachItems(CContainerUI* owner);
// The selected index after the item at iRemoved was removed; -1 when that was the selected one.
int ListSelectionAfterRemove(int iCurSel, int iRemoved);
// Moves an item of a list-like container to iIndex, keeping every item's index and the
// selection (*iCurSel) on the item it was on. False when nothing moved.
bool ListMoveItem(CContainerUI* owner, IListOwnerUI* list_owner, CControlUI* pControl, int iIndex, int* iCurSel);

class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
 public:
  CListUI();

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;

  TListInfoUI* GetListInfo() override { return &m_ListInfo; }
  int GetCurSel() const override { return m_iCurSel; }
  bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
  void EnsureVisible(int iIndex);

  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 private:
  // The nearest item from iFrom on in steps of iStep (+1 or -1) that can be selected
  // (visible and enabled), or -1.
  int FindSelectable(int iFrom, int iStep) const;

  TListInfoUI m_ListInfo;
  int m_iCurSel = -1;
};

// Shared by list-like owners (list, combo): applies "item..." attributes.
bool ApplyListInfoAttribute(TListInfoUI* info, LPCTSTR pstrName, LPCTSTR pstrValue);

// The item behaviour shared by label and container items, over the control class TBase:
// owner and index, selection, hot tracking and the state's background.
template <class TBase>
class CListItemUIBase : public TBase, public IListItemUI {
 public:
  LPVOID GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override;

  int GetIndex() const override { return m_iIndex; }
  void SetIndex(int iIndex) override { m_iIndex = iIndex; }
  IListOwnerUI* GetOwner() override { return m_pOwner; }
  void SetOwner(CControlUI* pOwner) override;
  bool IsSelected() const override { return m_bSelected; }
  bool Select(bool bSelect = true, bool bTriggerEvent = true) override;
  void SetVisible(bool bVisible = true) override;

  void DoEvent(TEventUI& event) override;
  void PaintBkColor(HDC hDC) override;

 protected:
  // Draws the item's text in the colour of its state (disabled, selected, hot or normal)
  // within the owner's text padding.
  void PaintStateText(HDC hDC, UINT uStyle);

  int m_iIndex = -1;
  bool m_bSelected = false;
  bool m_bHot = false;
  IListOwnerUI* m_pOwner = nullptr;
};

// Defined in list.cpp for these two.
extern template class CListItemUIBase<CControlUI>;
extern template class CListItemUIBase<CHorizontalLayoutUI>;

class CListElementUI : public CListItemUIBase<CControlUI> {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
};

class CListLabelElementUI : public CListElementUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  SIZE EstimateSize(SIZE szAvailable) override;
  void PaintText(HDC hDC) override;
};

class CListContainerElementUI : public CListItemUIBase<CHorizontalLayoutUI> {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void PaintText(HDC hDC) override;
};

}  // namespace DuiLib
