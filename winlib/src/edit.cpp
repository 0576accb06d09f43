#include "winlib/edit.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/skin_values.h"

namespace DuiLib {
namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

}  // namespace

CEditUI::CEditUI() {
  m_rcTextPadding = RECT{4, 2, 4, 2};
  m_nBorderSize = 1;
  m_dwBorderColor = 0xFFD0D6DE;
  m_dwFocusBorderColor = 0xFF2D7FF9;
  m_dwBackColor = 0xFFFFFFFF;
}

CEditUI::~CEditUI() {
  DestroyNative();
  if (m_hBkBrush) ::DeleteObject(m_hBkBrush);
}

LPCTSTR CEditUI::GetClass() const { return L"EditUI"; }

LPVOID CEditUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Edit") == 0) return static_cast<CEditUI*>(this);
  return CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

CDuiString CEditUI::GetText() const {
  if (!m_hwndEdit) return m_sText;
  int n = ::GetWindowTextLengthW(m_hwndEdit);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = ::GetWindowTextW(m_hwndEdit, &text[0], n + 1);
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return CDuiString(text);
}

void CEditUI::SetText(LPCTSTR pstrText) {
  m_sText = pstrText;
  if (m_hwndEdit) {
    m_bSettingText = true;
    ::SetWindowTextW(m_hwndEdit, m_sText);
    m_bSettingText = false;
  }
  Invalidate();
}

void CEditUI::SetEnabled(bool bEnable) {
  CLabelUI::SetEnabled(bEnable);
  if (m_hwndEdit) ::EnableWindow(m_hwndEdit, bEnable);
}

void CEditUI::SetMaxChar(UINT uMax) {
  m_uMaxChar = uMax;
  if (m_hwndEdit) ::SendMessageW(m_hwndEdit, EM_LIMITTEXT, m_uMaxChar, 0);
}

void CEditUI::SetReadOnly(bool bReadOnly) {
  m_bReadOnly = bReadOnly;
  if (m_hwndEdit) ::SendMessageW(m_hwndEdit, EM_SETREADONLY, bReadOnly, 0);
}

void CEditUI::SetPasswordMode(bool bPassword) {
  m_bPassword = bPassword;
  if (m_hwndEdit) ::SendMessageW(m_hwndEdit, EM_SETPASSWORDCHAR, bPassword ? L'*' : 0, 0);
}

void CEditUI::SetNativeEditBkColor(DWORD dwBkColor) {
  m_dwEditBkColor = dwBkColor;
  if (m_hBkBrush) {
    ::DeleteObject(m_hBkBrush);
    m_hBkBrush = nullptr;
  }
  if (m_hwndEdit) ::InvalidateRect(m_hwndEdit, nullptr, TRUE);
}

void CEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CLabelUI::SetPos(rc, bNeedInvalidate);
  PlaceNative();
}

void CEditUI::SetVisible(bool bVisible) {
  CLabelUI::SetVisible(bVisible);
  UpdateNativeVisibility();
}

void CEditUI::SetInternVisible(bool bVisible) {
  CLabelUI::SetInternVisible(bVisible);
  UpdateNativeVisibility();
}

void CEditUI::SetFocus() {
  if (m_hwndEdit && IsVisible() && IsEnabled()) {
    ::SetFocus(m_hwndEdit);  // EN_SETFOCUS tells the manager
    return;
  }
  CLabelUI::SetFocus();
}

void CEditUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  if (m_pManager && m_pManager != pManager) DestroyNative();
  CLabelUI::SetManager(pManager, pParent, bInit);
}

void CEditUI::DoInit() {
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (m_hwndEdit && ::GetParent(m_hwndEdit) == m_pManager->GetPaintWindow()) return;
  DestroyNative();
  DWORD style = WS_CHILD | ES_AUTOHSCROLL | ES_LEFT;
  if (m_bPassword) style |= ES_PASSWORD;
  if (m_bReadOnly) style |= ES_READONLY;
  m_hwndEdit = ::CreateWindowExW(0, L"EDIT", m_sText, style, 0, 0, 0, 0, m_pManager->GetPaintWindow(), nullptr,
                                 CPaintManagerUI::GetInstance(), nullptr);
  if (!m_hwndEdit) return;
  ::SendMessageW(m_hwndEdit, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), TRUE);
  ::SendMessageW(m_hwndEdit, EM_LIMITTEXT, m_uMaxChar, 0);
  ::SendMessageW(m_hwndEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  ::EnableWindow(m_hwndEdit, IsEnabled());
  m_pManager->RegisterNativeWindow(m_hwndEdit, this);
  PlaceNative();
  UpdateNativeVisibility();
}

void CEditUI::DestroyNative() {
  if (!m_hwndEdit) return;
  if (m_pManager) m_pManager->UnregisterNativeWindow(m_hwndEdit);
  if (::IsWindow(m_hwndEdit)) {
    m_sText = GetText();
    ::DestroyWindow(m_hwndEdit);
  }
  m_hwndEdit = nullptr;
}

void CEditUI::PlaceNative() {
  if (!m_hwndEdit || !m_pManager) return;
  RECT rc = m_rcItem;
  rc.left += m_rcTextPadding.left + m_nBorderSize;
  rc.right -= m_rcTextPadding.right + m_nBorderSize;
  rc.top += m_rcTextPadding.top + m_nBorderSize;
  rc.bottom -= m_rcTextPadding.bottom + m_nBorderSize;
  const TFontInfo* font = m_pManager->GetFontInfo(m_iFont);
  int line = font ? font->size + font->size / 3 + 2 : 18;
  int room = rc.bottom - rc.top;
  if (room > line) {
    rc.top += (room - line) / 2;
    rc.bottom = rc.top + line;
  }
  ::SetWindowPos(m_hwndEdit, nullptr, rc.left, rc.top, rc.right > rc.left ? rc.right - rc.left : 0,
                 rc.bottom > rc.top ? rc.bottom - rc.top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CEditUI::UpdateNativeVisibility() {
  if (!m_hwndEdit) return;
  ::ShowWindow(m_hwndEdit, IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}

LRESULT CEditUI::OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
  bHandled = false;
  if (uMsg == WM_CTLCOLOREDIT || uMsg == WM_CTLCOLORSTATIC) {
    HDC hdc = reinterpret_cast<HDC>(wParam);
    // The native window takes the control's background when that is opaque.
    DWORD bk = (m_dwBackColor >> 24) == 0xFF ? m_dwBackColor : m_dwEditBkColor;
    if (m_hBkBrush && bk != m_dwBrushColor) {
      ::DeleteObject(m_hBkBrush);
      m_hBkBrush = nullptr;
    }
    if (!m_hBkBrush) {
      m_hBkBrush = ::CreateSolidBrush(ToColorRef(bk));
      m_dwBrushColor = bk;
    }
    ::SetBkColor(hdc, ToColorRef(bk));
    ::SetTextColor(hdc, ToColorRef(IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor));
    bHandled = true;
    return reinterpret_cast<LRESULT>(m_hBkBrush);
  }
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

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"readonly")) {
    SetReadOnly(ParseBool(value));
  } else if (EqualsNoCase(name, L"password")) {
    SetPasswordMode(ParseBool(value));
  } else if (EqualsNoCase(name, L"maxchar")) {
    SetMaxChar(static_cast<UINT>(ParseInt(value, 255)));
  } else if (EqualsNoCase(name, L"nativebkcolor")) {
    SetNativeEditBkColor(ParseColor(value, m_dwEditBkColor));
  } else {
    CLabelUI::SetAttribute(pstrName, pstrValue);
  }
}

void CEditUI::PaintText(HDC hDC) {
  if (!m_hwndEdit) CLabelUI::PaintText(hDC);  // the native window draws its own text
}

}  // namespace DuiLib
