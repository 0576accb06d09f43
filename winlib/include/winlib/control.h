// Base of every control: position, look (background colour and image, border), text,
// state (visible, enabled, focused), user data and the event entry.
#pragma once

#include <windows.h>

#include "winlib/dui_string.h"
#include "winlib/ui_defs.h"

namespace DuiLib {

class CPaintManagerUI;

class CControlUI {
 public:
  CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;
  virtual ~CControlUI();

  virtual CDuiString GetName() const { return m_sName; }
  virtual void SetName(LPCTSTR pstrName);
  virtual LPCTSTR GetClass() const;
  virtual LPVOID GetInterface(LPCTSTR pstrName);
  virtual UINT GetControlFlags() const { return 0; }

  virtual bool Activate();
  virtual CPaintManagerUI* GetManager() const { return m_pManager; }
  virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
  virtual CControlUI* GetParent() const { return m_pParent; }

  virtual CDuiString GetText() const { return m_sText; }
  virtual void SetText(LPCTSTR pstrText);

  DWORD GetBkColor() const { return m_dwBackColor; }
  void SetBkColor(DWORD dwColor);
  LPCTSTR GetBkImage() const { return m_sBkImage; }
  void SetBkImage(LPCTSTR pStrImage);
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD dwColor);
  int GetBorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int nSize);
  SIZE GetBorderRound() const { return m_cxyBorderRound; }
  void SetBorderRound(SIZE cxyRound);
  // Draws an image description ("file='..' dest='..'" or a plain path) inside the control.
  bool DrawImage(HDC hDC, LPCTSTR pStrImage);

  virtual const RECT& GetPos() const { return m_rcItem; }
  virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
  virtual int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
  virtual int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
  virtual RECT GetPadding() const { return m_rcPadding; }
  virtual void SetPadding(RECT rcPadding);
  virtual SIZE GetFixedXY() const { return m_cXY; }
  virtual void SetFixedXY(SIZE szXY);
  virtual int GetFixedWidth() const { return m_cxyFixed.cx; }
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const { return m_cxyFixed.cy; }
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const { return m_cxyMin.cx; }
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const { return m_cxyMax.cx; }
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const { return m_cxyMin.cy; }
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const { return m_cxyMax.cy; }
  virtual void SetMaxHeight(int cy);
  // Size wanted for the available room; (0, 0) parts mean "whatever the layout gives".
  virtual SIZE EstimateSize(SIZE szAvailable);

  virtual const CDuiString& GetUserData() const { return m_sUserData; }
  virtual void SetUserData(LPCTSTR pstrText);
  virtual UINT_PTR GetTag() const { return m_pTag; }
  virtual void SetTag(UINT_PTR pTag) { m_pTag = pTag; }
  virtual CDuiString GetToolTip() const { return m_sToolTip; }
  virtual void SetToolTip(LPCTSTR pstrText) { m_sToolTip = pstrText; }

  virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
  virtual void SetVisible(bool bVisible = true);
  // Visibility given by an ancestor; the control's own flag is kept.
  virtual void SetInternVisible(bool bVisible = true);
  virtual bool IsEnabled() const { return m_bEnabled; }
  virtual void SetEnabled(bool bEnable = true);
  virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
  virtual void SetMouseEnabled(bool bEnable = true) { m_bMouseEnabled = bEnable; }
  virtual bool IsFocused() const { return m_bFocused; }
  virtual void SetFocus();
  virtual bool IsFloat() const { return m_bFloat; }
  virtual void SetFloat(bool bFloat = true);

  virtual CControlUI* FindControl(FINDCONTROLPROC Proc, LPVOID pData, UINT uFlags);

  void Invalidate();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  void NeedUpdate();
  void NeedParentUpdate();

  // Called once the control belongs to a window (native children are created here).
  virtual void Init();
  virtual void DoInit() {}

  virtual void Event(TEventUI& event);
  virtual void DoEvent(TEventUI& event);
  // Messages of a native child window that the control owns (WM_COMMAND, WM_CTLCOLOR*).
  virtual LRESULT OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);

  virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
  // Applies name="value" pairs in order.
  CControlUI* ApplyAttributeList(LPCTSTR pstrList);

  virtual void DoPaint(HDC hDC, const RECT& rcPaint);
  virtual void PaintBkColor(HDC hDC);
  virtual void PaintBkImage(HDC hDC);
  virtual void PaintStatusImage(HDC hDC);
  virtual void PaintText(HDC hDC);
  virtual void PaintBorder(HDC hDC);

 protected:
  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  CDuiString m_sName;
  CDuiString m_sText;
  CDuiString m_sToolTip;
  CDuiString m_sUserData;
  CDuiString m_sBkImage;
  UINT_PTR m_pTag = 0;
  RECT m_rcItem{0, 0, 0, 0};
  RECT m_rcPadding{0, 0, 0, 0};
  RECT m_rcPaint{0, 0, 0, 0};
  SIZE m_cXY{0, 0};
  SIZE m_cxyFixed{0, 0};
  SIZE m_cxyMin{0, 0};
  SIZE m_cxyMax{9999, 9999};
  bool m_bUpdateNeeded = true;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bFocused = false;
  bool m_bFloat = false;
  DWORD m_dwBackColor = 0;
  DWORD m_dwBorderColor = 0;
  DWORD m_dwFocusBorderColor = 0;
  int m_nBorderSize = 0;
  SIZE m_cxyBorderRound{0, 0};
};

}  // namespace DuiLib
