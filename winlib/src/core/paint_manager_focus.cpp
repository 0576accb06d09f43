// Keyboard focus of the paint manager: which control has it, also when a native child
// window of a control takes it.
#include "winlib/control.h"
#include "winlib/paint_manager.h"

namespace DuiLib {

void CPaintManagerUI::DropFocus(CControlUI* pNext) {
  if (!m_pFocus) return;
  CControlUI* old = m_pFocus;
  m_pFocus = nullptr;
  TEventUI e = MakeEvent(UIEVENT_KILLFOCUS, pNext, 0, 0);
  old->Event(e);
  SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
  if (pControl == m_pFocus) return;
  DropFocus(pControl);
  if (!pControl || pControl->GetManager() != this || !pControl->IsVisible() || !pControl->IsEnabled()) return;
  m_pFocus = pControl;
  if (m_hWndPaint && ::GetFocus() != m_hWndPaint && !::IsChild(m_hWndPaint, ::GetFocus())) {
    ::SetFocus(m_hWndPaint);
  }
  TEventUI e = MakeEvent(UIEVENT_SETFOCUS, pControl, 0, 0);
  m_pFocus->Event(e);
  if (m_pFocus) SendNotify(m_pFocus, DUI_MSGTYPE_SETFOCUS);
}

void CPaintManagerUI::OnNativeFocus(CControlUI* pControl, bool bGot) {
  if (bGot) {
    if (m_pFocus == pControl) return;
    DropFocus(pControl);
    m_pFocus = pControl;
    TEventUI e = MakeEvent(UIEVENT_SETFOCUS, pControl, 0, 0);
    pControl->Event(e);
    SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
  } else {
    if (m_pFocus != pControl) return;
    DropFocus(nullptr);
  }
}

}  // namespace DuiLib
