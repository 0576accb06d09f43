// Common definitions of the window library: window styles, events, notifications and the
// small interfaces through which windows, controls and skins meet.
#pragma once

#include <windows.h>

#include "winlib/dui_string.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// Window styles used with CWindowWnd::Create.
constexpr DWORD UI_WNDSTYLE_CONTAINER = 0;
constexpr DWORD UI_WNDSTYLE_FRAME = WS_VISIBLE | WS_OVERLAPPEDWINDOW;
constexpr DWORD UI_WNDSTYLE_CHILD = WS_VISIBLE | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD UI_WNDSTYLE_DIALOG =
    WS_VISIBLE | WS_POPUPWINDOW | WS_CAPTION | WS_DLGFRAME | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD UI_WNDSTYLE_EX_FRAME = WS_EX_WINDOWEDGE;
constexpr DWORD UI_WNDSTYLE_EX_DIALOG = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;
constexpr UINT UI_CLASSSTYLE_CONTAINER = 0;
constexpr UINT UI_CLASSSTYLE_FRAME = CS_VREDRAW | CS_HREDRAW;
constexpr UINT UI_CLASSSTYLE_CHILD = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
constexpr UINT UI_CLASSSTYLE_DIALOG = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

// Notification type names.
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_SELECTCHANGED L"selectchanged"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"
#define DUI_MSGTYPE_ITEMSELECT L"itemselect"
#define DUI_MSGTYPE_ITEMCLICK L"itemclick"
#define DUI_MSGTYPE_VALUECHANGED L"valuechanged"
#define DUI_MSGTYPE_TEXTCHANGED L"textchanged"
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_DROPDOWN L"dropdown"

// Events that the paint manager delivers to controls.
enum UIEVENT_TYPE {
  UIEVENT_FIRST = 1,
  UIEVENT_MOUSEMOVE,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_RBUTTONDOWN,
  UIEVENT_DBLCLICK,
  UIEVENT_CONTEXTMENU,
  UIEVENT_SCROLLWHEEL,
  UIEVENT_KEYDOWN,
  UIEVENT_CHAR,
  UIEVENT_SETFOCUS,
  UIEVENT_KILLFOCUS,
  UIEVENT_TIMER,
  UIEVENT_SETCURSOR,
  UIEVENT_LAST,
};

// Flags of CControlUI::GetControlFlags.
constexpr UINT UIFLAG_TABSTOP = 0x00000001;
constexpr UINT UIFLAG_SETCURSOR = 0x00000002;
constexpr UINT UIFLAG_WANTRETURN = 0x00000004;

// Flags of CControlUI::FindControl.
constexpr UINT UIFIND_ALL = 0x00000000;
constexpr UINT UIFIND_VISIBLE = 0x00000001;
constexpr UINT UIFIND_ENABLED = 0x00000002;
constexpr UINT UIFIND_HITTEST = 0x00000004;
constexpr UINT UIFIND_TOP_FIRST = 0x00000008;
constexpr UINT UIFIND_ME_FIRST = 0x80000000;

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  WCHAR chKey = 0;
  WORD wKeyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct TNotifyUI {
  CDuiString sType;
  CDuiString sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

using FINDCONTROLPROC = CControlUI*(CALLBACK*)(CControlUI*, LPVOID);

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

class IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

// A skin given by file name (relative to the skin folder) or as XML text starting with '<'.
// Numeric resource ids are accepted for interface compatibility but hold no skin.
class STRINGorID {
 public:
  STRINGorID(LPCTSTR lpString) : m_lpstr(lpString) {}
  STRINGorID(UINT nID) : m_lpstr(MAKEINTRESOURCE(nID)) {}
  LPCTSTR m_lpstr;
};

}  // namespace DuiLib
