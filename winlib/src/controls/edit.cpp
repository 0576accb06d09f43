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
  DestroyNative();  // before the brush it paints with goes
}

LPCTSTR CEditUI::GetClass() const { return L"EditUI"; }

LPVOID CEditUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"Edit") == 0) return static_cast<CEditUI*>(this);
  return CNativeTextUI::GetInterface(pstrName);
}

void CEditUI::SetMaxChar(UINT uMax) {
  m_uMaxChar = uMax;
  if (m_hwndNative) ::SendMessageW(m_hwndNative, EM_LIMITTEXT, m_uMaxChar, 0);
}

void CEditUI::SetPasswordMode(bool bPassword) {
  m_bPassword = bPassword;
  if (m_hwndNative) ::SendMessageW(m_hwndNative, EM_SETPASSWORDCHAR, bPassword ? L'*' : 0, 0);
}

void CEditUI::SetNativeEditBkColor(DWORD dwBkColor) {
  m_dwEditBkColor = dwBkColor;
  m_bkBrush.Reset();
  if (m_hwndNative) ::InvalidateRect(m_hwndNative, nullptr, TRUE);
}

void CEditUI::CreateNative(HWND hwndParent) {
  DWORD style = WS_CHILD | ES_AUTOHSCROLL | ES_LEFT;
  if (m_bPassword) style |= ES_PASSWORD;
  if (m_bReadOnly) style |= ES_READONLY;
  m_hwndNative = ::CreateWindowExW(0, L"EDIT", m_sText, style, 0, 0, 0, 0, hwndParent, nullptr,
                                   CPaintManagerUI::GetInstance(), nullptr);
  if (!m_hwndNative) return;
  ::SendMessageW(m_hwndNative, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), TRUE);
  ::SendMessageW(m_hwndNative, EM_LIMITTEXT, m_uMaxChar, 0);
  ::SendMessageW(m_hwndNative, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
}

// One line of text, centred vertically in the room there is.
void CEditUI::PlaceNative() {
  if (!m_hwndNative || !m_pManager) return;
  RECT rc = NativeRect();
  const TFontInfo* font = m_pManager->GetFontInfo(m_iFont);
  int line = font ? font->size + font->size / 3 + 2 : 18;
  int room = rc.bottom - rc.top;
  if (room > line) {
    rc.top += (room - line) / 2;
    rc.bottom = rc.top + line;
  }
  MoveNative(rc);
}

LRESULT CEditUI::OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (uMsg == WM_CTLCOLOREDIT || uMsg == WM_CTLCOLORSTATIC) {
    HDC hdc = reinterpret_cast<HDC>(wParam);
    // The native window takes the control's background when that is opaque.
    DWORD bk = (m_dwBackColor >> 24) == 0xFF ? m_dwBackColor : m_dwEditBkColor;
    if (m_bkBrush && bk != m_dwBrushColor) m_bkBrush.Reset();
    if (!m_bkBrush) {
      m_bkBrush.Reset(::CreateSolidBrush(ToColorRef(bk)));
      m_dwBrushColor = bk;
    }
    ::SetBkColor(hdc, ToColorRef(bk));
    ::SetTextColor(hdc, ToColorRef(IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor));
    bHandled = true;
    return reinterpret_cast<LRESULT>(m_bkBrush.get());
  }
  return CNativeTextUI::OnNativeMessage(uMsg, wParam, lParam, bHandled);
}

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"password")) {
    SetPasswordMode(ParseBool(value));
  } else if (EqualsNoCase(name, L"maxchar")) {
    SetMaxChar(static_cast<UINT>(ParseInt(value, 255)));
  } else if (EqualsNoCase(name, L"nativebkcolor")) {
    SetNativeEditBkColor(ParseColor(value, m_dwEditBkColor));
  } else {
    CNativeTextUI::SetAttribute(pstrName, pstrValue);
  }
}

}  // namespace DuiLib
