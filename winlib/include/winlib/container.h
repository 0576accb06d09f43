// Controls that hold other controls: the plain container (children fill it), the column
// and row layouts, and the tab layout that shows one child at a time. Containers can
// scroll vertically ("vscrollbar").
#pragma once

#include <vector>

#include "winlib/control.h"

namespace DuiLib {

class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int iIndex) const = 0;
  virtual int GetItemIndex(CControlUI* pControl) const = 0;
  virtual bool SetItemIndex(CControlUI* pControl, int iIndex) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* pControl) = 0;
  virtual bool AddAt(CControlUI* pControl, int iIndex) = 0;
  virtual bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) = 0;
  virtual bool RemoveAt(int iIndex, bool bDoNotDestroy = false) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI() = default;
  ~CContainerUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  CControlUI* GetItemAt(int iIndex) const override;
  int GetItemIndex(CControlUI* pControl) const override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;
  int GetCount() const override;
  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;

  void SetAutoDestroy(bool bAuto) { m_bAutoDestroy = bAuto; }
  void SetDelayedDestroy(bool bDelayed) { m_bDelayedDestroy = bDelayed; }
  RECT GetInset() const { return m_rcInset; }
  void SetInset(RECT rcInset);
  int GetChildPadding() const { return m_iChildPadding; }
  void SetChildPadding(int iPadding);
  void SetMouseChildEnabled(bool bEnable = true) { m_bMouseChildEnabled = bEnable; }
  bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
  void EnableScrollBar(bool bEnableVertical = true);
  int GetScrollPos() const { return m_iScrollY; }
  void SetScrollPos(int y);
  int GetScrollRange() const;
  void EndDown() { SetScrollPos(GetScrollRange()); }

  // First descendant with this name.
  CControlUI* FindSubControl(LPCTSTR pstrSubControlName);

  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetEnabled(bool bEnable = true) override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  CControlUI* FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 protected:
  // Room for the children: the rectangle minus the inset and the scroll bar.
  RECT InnerRect() const;
  // Places the children inside rc; the default lets each one fill the inner rectangle.
  virtual void LayoutChildren();
  void ApplyScrollExtent(int content_extent);
  void PaintScrollBar(HDC hDC);
  RECT ScrollThumbRect() const;

  std::vector<CControlUI*> m_items;
  RECT m_rcInset{0, 0, 0, 0};
  int m_iChildPadding = 0;
  int m_iChildAlign = 0;   // 0 start, 1 centre, 2 end (across the stacking direction)
  int m_iChildVAlign = 0;  // 0 start, 1 centre, 2 end (along it, without stretching children)
  bool m_bAutoDestroy = true;
  bool m_bDelayedDestroy = true;
  bool m_bMouseChildEnabled = true;
  bool m_bScrollEnabled = false;
  bool m_bScrollVisible = false;
  int m_iScrollY = 0;
  int m_iContentHeight = 0;
  bool m_bDraggingThumb = false;
  int m_iDragOffset = 0;
  DWORD m_dwScrollThumbColor = 0xFFC8CDD4;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

 protected:
  void LayoutChildren() override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

 protected:
  void LayoutChildren() override;
};

class CTabLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;
  int GetCurSel() const { return m_iCurSel; }
  bool SelectItem(int iIndex);
  bool SelectItem(CControlUI* pControl);
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 private:
  int m_iCurSel = -1;
  int m_iPendingSel = 0;  // index to show once it is added
};

}  // namespace DuiLib
