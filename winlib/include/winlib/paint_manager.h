// The paint manager of one window: owns the control tree, paints it double-buffered,
// turns mouse, keyboard and timer messages into control events and sends control
// notifications to its notifiers. What it keeps lives in units of their own: fonts
// (font_table.h), timers (control_timers.h), option groups (option_groups.h) and the
// paint buffer (offscreen_buffer.h); mouse routing and focus are in their own files.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "winlib/control_timers.h"
#include "winlib/dui_string.h"
#include "winlib/font_table.h"
#include "winlib/offscreen_buffer.h"
#include "winlib/option_groups.h"
#include "winlib/ui_defs.h"

namespace DuiLib {

class CControlUI;

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
  ~CPaintManagerUI();

  void Init(HWND hWnd);
  HWND GetPaintWindow() const { return m_hWndPaint; }
  void Invalidate();
  void Invalidate(const RECT& rcItem);
  void NeedUpdate();
  POINT GetMousePos() const { return m_ptLastMousePos; }
  SIZE GetClientSize() const;
  SIZE GetInitSize() const { return m_szInitWindowSize; }
  void SetInitSize(int cx, int cy);
  const RECT& GetSizeBox() const { return m_rcSizeBox; }
  void SetSizeBox(const RECT& rcSizeBox) { m_rcSizeBox = rcSizeBox; }
  const RECT& GetCaptionRect() const { return m_rcCaption; }
  void SetCaptionRect(const RECT& rcCaption) { m_rcCaption = rcCaption; }
  SIZE GetRoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
  SIZE GetMinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
  SIZE GetMaxInfo() const { return m_szMaxWindow; }
  void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }

  static HINSTANCE GetInstance();
  static void SetInstance(HINSTANCE hInst);
  // Folder of the program with a trailing backslash.
  static CDuiString GetInstancePath();
  // Folder that skin files and image paths are relative to (trailing backslash).
  const CDuiString& GetResourcePath() const { return m_sResourcePath; }
  void SetResourcePath(LPCTSTR pStrPath);
  // The skin folder of the most recently created window; used where no manager is at
  // hand (window shadows). Defaults to the program's folder.
  static CDuiString GetDefaultResourcePath();
  static void SetDefaultResourcePath(LPCTSTR pStrPath);

  // Fonts: `families` is a comma-separated list; the first one installed is used.
  void AddFont(int id, LPCTSTR families, int size, bool bold, bool underline, bool italic, bool isDefault);
  const TFontInfo* GetFontInfo(int id);
  HFONT GetFont(int id);
  static void SetDefaultFontFamilies(LPCTSTR families);

  void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
  LPCTSTR GetDefaultAttributeList(LPCTSTR pStrControlName) const;

  bool AttachDialog(CControlUI* pControl);
  bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
  // Forgets every reference to a control that leaves the tree.
  void ReapObjects(CControlUI* pControl);
  // Deletes the control once no event of this window is being dispatched.
  void AddDelayedCleanup(CControlUI* pControl);

  CControlUI* GetRoot() const { return m_pRoot; }
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FindControl(LPCTSTR pstrName) const;
  CControlUI* FindSubControlByPoint(CControlUI* pParent, POINT pt) const;
  CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;

  CControlUI* GetFocus() const { return m_pFocus; }
  void SetFocus(CControlUI* pControl);
  // A native child of `pControl` got or lost the keyboard focus.
  void OnNativeFocus(CControlUI* pControl, bool bGot);

  bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
  bool KillTimer(CControlUI* pControl, UINT nTimerID);
  void KillTimer(CControlUI* pControl);
  void RemoveAllTimers();

  void SetCapture();
  void ReleaseCapture();
  bool IsCaptured() const { return m_bMouseCapture; }

  bool AddNotifier(INotifyUI* pControl);
  bool RemoveNotifier(INotifyUI* pControl);
  void SendNotify(TNotifyUI& Msg);
  void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0);

  bool AddMessageFilter(IMessageFilterUI* pFilter);
  bool RemoveMessageFilter(IMessageFilterUI* pFilter);

  bool AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
  std::vector<CControlUI*>* GetOptionGroup(LPCTSTR pStrGroupName);
  void RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);

  void RegisterNativeWindow(HWND hWnd, CControlUI* pControl);
  void UnregisterNativeWindow(HWND hWnd);

  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

 private:
  bool HandleMouse(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  void Paint();
  void Layout();
  void FlushDelayedCleanup();
  TEventUI MakeEvent(int type, CControlUI* sender, WPARAM wParam, LPARAM lParam) const;
  // Takes the focus from the focused control, if any; pNext is the control that gets it.
  void DropFocus(CControlUI* pNext);

  HWND m_hWndPaint = nullptr;
  CControlUI* m_pRoot = nullptr;
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pEventHover = nullptr;
  CControlUI* m_pEventClick = nullptr;
  bool m_bUpdateNeeded = false;
  bool m_bFirstLayout = true;
  bool m_bMouseTracking = false;
  bool m_bMouseCapture = false;
  int m_nDispatchDepth = 0;
  POINT m_ptLastMousePos{-1, -1};
  SIZE m_szInitWindowSize{0, 0};
  SIZE m_szMinWindow{0, 0};
  SIZE m_szMaxWindow{0, 0};
  SIZE m_szRoundCorner{0, 0};
  RECT m_rcSizeBox{0, 0, 0, 0};
  RECT m_rcCaption{0, 0, 0, 0};
  CDuiString m_sResourcePath;

  OffscreenBuffer m_offscreen;

  std::vector<INotifyUI*> m_aNotifiers;
  std::vector<IMessageFilterUI*> m_aMessageFilters;
  ControlTimers m_timers;
  std::vector<CControlUI*> m_aDelayedCleanup;
  OptionGroups m_optionGroups;
  std::map<std::wstring, std::wstring> m_defaultAttributes;  // keyed by lower-case class name
  FontTable m_fonts;
  std::map<HWND, CControlUI*> m_nativeWindows;
};

}  // namespace DuiLib
