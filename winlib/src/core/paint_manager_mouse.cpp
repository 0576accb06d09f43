// Mouse routing of the paint manager: hover, press, capture and wheel as control events.
#include <windowsx.h>

#include "winlib/control.h"
#include "winlib/paint_manager.h"

namespace DuiLib {

bool CPaintManagerUI::HandleMouse(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  lRes = 0;
  switch (uMsg) {
    case WM_MOUSEMOVE: {
      if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        ::TrackMouseEvent(&tme);
        m_bMouseTracking = true;
      }
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* hover = FindControl(m_ptLastMousePos);
      if (hover && hover->GetManager() != this) hover = nullptr;
      if (hover != m_pEventHover && m_pEventHover) {
        TEventUI e = MakeEvent(UIEVENT_MOUSELEAVE, m_pEventHover, wParam, lParam);
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        old->Event(e);
      }
      if (hover != m_pEventHover && hover) {
        m_pEventHover = hover;
        TEventUI e = MakeEvent(UIEVENT_MOUSEENTER, hover, wParam, lParam);
        hover->Event(e);
      }
      CControlUI* target = m_pEventClick ? m_pEventClick : m_pEventHover;
      if (target) {
        TEventUI e = MakeEvent(UIEVENT_MOUSEMOVE, target, wParam, lParam);
        target->Event(e);
      }
      return false;
    }
    case WM_MOUSELEAVE: {
      m_bMouseTracking = false;
      if (m_pEventHover && !m_pEventClick) {
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        TEventUI e = MakeEvent(UIEVENT_MOUSELEAVE, old, wParam, lParam);
        old->Event(e);
      }
      return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // Take the keyboard focus back from native children.
      if (::GetFocus() != m_hWndPaint) ::SetFocus(m_hWndPaint);
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      m_pEventClick = control;
      control->SetFocus();
      SetCapture();
      if (m_pEventClick) {
        TEventUI e = MakeEvent(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, control, wParam, lParam);
        m_pEventClick->Event(e);
      }
      return false;
    }
    case WM_LBUTTONUP: {
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      // Forget the pressed control before releasing the capture: the release sends
      // WM_CAPTURECHANGED, which would otherwise end the press outside the control.
      CControlUI* control = m_pEventClick;
      m_pEventClick = nullptr;
      if (m_bMouseCapture) ReleaseCapture();
      if (!control) return false;
      TEventUI e = MakeEvent(UIEVENT_BUTTONUP, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_RBUTTONDOWN: {
      m_ptLastMousePos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_RBUTTONDOWN, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_CONTEXTMENU: {
      CControlUI* control = FindControl(m_ptLastMousePos);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_CONTEXTMENU, control, wParam, lParam);
      control->Event(e);
      return false;
    }
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ScreenToClient(m_hWndPaint, &pt);
      m_ptLastMousePos = pt;
      CControlUI* control = FindControl(pt);
      if (!control || control->GetManager() != this) return false;
      TEventUI e = MakeEvent(UIEVENT_SCROLLWHEEL, control, wParam, lParam);
      control->Event(e);
      lRes = 0;
      return true;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != m_hWndPaint && m_pEventClick) {
        // Capture taken away (e.g. by a popup): finish the press outside the control.
        m_bMouseCapture = false;
        CControlUI* control = m_pEventClick;
        m_pEventClick = nullptr;
        TEventUI e = MakeEvent(UIEVENT_BUTTONUP, control, 0, 0);
        e.ptMouse = POINT{-1, -1};
        control->Event(e);
      }
      return false;
    default:
      return false;
  }
}

}  // namespace DuiLib
