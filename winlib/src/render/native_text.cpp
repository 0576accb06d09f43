#include "winlib/native_text.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/skin_values.h"

namespace DuiLib {

CNativeTextUI::~CNativeTextUI() { DestroyNative(); }

UINT CNativeTextUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

CDuiString CNativeTextUI::GetText() const {
  if (!m_hwndNative) return m_sText;
  int n = ::GetWindowTextLengthW(m_hwndNative);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = ::GetWindowTextW(m_hwndNative, &text[0], n + 1);
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return CDuiString(text);
}

void CNativeTextUI::SetText(LPCTSTR pstrText) {
  m_sText = pstrText;
  if (m_hwndNative) {
    m_bSettingText = true;
    ::SetWindowTextW(m_hwndNative, m_sText);
    m_bSettingText = false;
  }
  Invalidate();
}

void CNativeTextUI::SetEnabled(bool bEnable) {
  CLabelUI::SetEnabled(bEnable);
  if (m_hwndNative) ::EnableWindow(m_hwndNative, bEnable);
}

void CNativeTextUI::SetReadOnly(bool bReadOnly) {
  m_bReadOnly = bReadOnly;
  if (m_hwndNative) ::SendMessageW(m_hwndNative, EM_SETREADONLY, bReadOnly, 0);
}

void CNativeTextUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CLabelUI::SetPos(rc, bNeedInvalidate);
  PlaceNative();
}

void CNativeTextUI::SetVisible(bool bVisible) {
  CLabelUI::SetVisible(bVisible);
  UpdateNativeVisibility();
}

void CNativeTextUI::SetInternVisible(bool bVisible) {
  CLabelUI::SetInternVisible(bVisible);
  UpdateNativeVisibility();
}

void CNativeTextUI::SetFocus() {
  if (m_hwndNative && IsVisible() && IsEnabled()) {
    ::SetFocus(m_hwndNative);  // EN_SETFOCUS tells the manager
    return;
  }
  CLabelUI::SetFocus();
}

void CNativeTextUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  if (m_pManager && m_pManager != pManager) DestroyNative();
  CLabelUI::SetManager(pManager, pParent, bInit);
}

void CNativeTextUI::DoInit() {
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (m_hwndNative && ::GetParent(m_hwndNative) == m_pManager->GetPaintWindow()) return;
  DestroyNative();
  CreateNative(m_pManager->GetPaintWindow());
  if (!m_hwndNative) return;
  ::EnableWindow(m_hwndNative, IsEnabled());
  m_pManager->RegisterNativeWindow(m_hwndNative, this);
  PlaceNative();
  UpdateNativeVisibility();
}

void CNativeTextUI::DestroyNative() {
  if (!m_hwndNative) return;
  if (m_pManager) m_pManager->UnregisterNativeWindow(m_hwndNative);
  if (::IsWindow(m_hwndNative)) {
    m_sText = GetText();
    ::DestroyWindow(m_hwndNative);
  }
  m_hwndNative = nullptr;
}

RECT CNativeTextUI::NativeRect() const {
  RECT rc = m_rcItem;
  rc.left += m_rcTextPadding.left + m_nBorderSize;
  rc.right -= m_rcTextPadding.right + m_nBorderSize;
  rc.top += m_rcTextPadding.top + m_nBorderSize;
  rc.bottom -= m_rcTextPadding.bottom + m_nBorderSize;
  return rc;
}

void CNativeTextUI::MoveNative(const RECT& rc) {
  ::SetWindowPos(m_hwndNative, nullptr, rc.left, rc.top, rc.right > rc.left ? rc.right - rc.left : 0,
                 rc.bottom > rc.top ? rc.bottom - rc.top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNativeTextUI::PlaceNative() {
  if (!m_hwndNative) return;
  MoveNative(NativeRect());
}

void CNativeTextUI::UpdateNativeVisibility() {
  if (!m_hwndNative) return;
  ::ShowWindow(m_hwndNative, IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}

LRESULT CNativeTextUI::OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
  bHandled = false;
  if (uMsg != WM_COMMAND || !m_pManager) return 0;
  switch (HIWORD(wParam)) {
    case EN_CHANGE:
      if (!m_bSettingText) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
      bHandled = true;
      break;
    case EN_SETFOCUS:
      m_pManager->OnNativeFocus(this, true);
      bHandled = true;
      break;
    case EN_KILLFOCUS:
      m_pManager->OnNativeFocus(this, false);
      bHandled = true;
      break;
    default:
      break;
  }
  return 0;
}

void CNativeTextUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (EqualsNoCase(pstrName, L"readonly")) {
    SetReadOnly(ParseBool(pstrValue));
  } else {
    CLabelUI::SetAttribute(pstrName, pstrValue);
  }
}

void CNativeTextUI::PaintText(HDC hDC) {
  if (!m_hwndNative) CLabelUI::PaintText(hDC);  // the native window draws its own text
}

}  // namespace DuiLib
