#include "winlib/rich_edit.h"

#include <string>

#include "winlib/paint_manager.h"
#include "winlib/skin_values.h"

namespace DuiLib {
namespace {

constexpr wchar_t kRichClass[] = L"RichEdit20W";

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// The rich edit class comes from Riched20.dll; the program usually loads it at start.
bool EnsureRichEditClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (::GetClassInfoExW(nullptr, kRichClass, &wc)) return true;
  static HMODULE module = ::LoadLibraryW(L"Riched20.dll");  // kept for the life of the process
  return module && ::GetClassInfoExW(nullptr, kRichClass, &wc);
}

}  // namespace

CRichEditUI::CRichEditUI() {
  m_rcTextPadding = RECT{4, 4, 4, 4};
  m_uTextStyle = DT_WORDBREAK;
}

CRichEditUI::~CRichEditUI() { DestroyNative(); }

LPCTSTR CRichEditUI::GetClass() const { return L"RichEditUI"; }

LPVOID CRichEditUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"RichEdit") == 0) return static_cast<CRichEditUI*>(this);
  return CLabelUI::GetInterface(pstrName);
}

UINT CRichEditUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

CDuiString CRichEditUI::GetText() const {
  if (!m_hwndRich) return m_sText;
  int n = ::GetWindowTextLengthW(m_hwndRich);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = ::GetWindowTextW(m_hwndRich, &text[0], n + 1);
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return CDuiString(text);
}

void CRichEditUI::SetText(LPCTSTR pstrText) {
  m_sText = pstrText;
  if (m_hwndRich) {
    m_bSettingText = true;
    ::SetWindowTextW(m_hwndRich, m_sText);
    m_bSettingText = false;
  }
  Invalidate();
}

void CRichEditUI::SetEnabled(bool bEnable) {
  CLabelUI::SetEnabled(bEnable);
  if (m_hwndRich) ::EnableWindow(m_hwndRich, bEnable);
}

void CRichEditUI::SetReadOnly(bool bReadOnly) {
  m_bReadOnly = bReadOnly;
  if (m_hwndRich) ::SendMessageW(m_hwndRich, EM_SETREADONLY, bReadOnly, 0);
}

long CRichEditUI::AppendText(LPCTSTR pstrText, bool bCanUndo) {
  if (!m_hwndRich) {
    long start = m_sText.GetLength();
    m_sText += pstrText;
    return start;
  }
  long start = GetTextLength(GTL_NUMCHARS | GTL_PRECISE);
  SetSel(-1, -1);
  ::SendMessageW(m_hwndRich, EM_REPLACESEL, bCanUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(pstrText ? pstrText : L""));
  return start;
}

int CRichEditUI::SetSel(long nStartChar, long nEndChar) {
  if (!m_hwndRich) return 0;
  CHARRANGE cr{nStartChar, nEndChar};
  return static_cast<int>(::SendMessageW(m_hwndRich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr)));
}

bool CRichEditUI::SetSelectionCharFormat(CHARFORMAT2W& cf) {
  if (!m_hwndRich) return false;
  cf.cbSize = sizeof(CHARFORMAT2W);
  return ::SendMessageW(m_hwndRich, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0;
}

bool CRichEditUI::SetDefaultCharFormat(CHARFORMAT2W& cf) {
  if (!m_hwndRich) return false;
  cf.cbSize = sizeof(CHARFORMAT2W);
  return ::SendMessageW(m_hwndRich, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)) != 0;
}

bool CRichEditUI::SetParaFormat(PARAFORMAT2& pf) {
  if (!m_hwndRich) return false;
  pf.cbSize = sizeof(PARAFORMAT2);
  return ::SendMessageW(m_hwndRich, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)) != 0;
}

long CRichEditUI::GetTextLength(DWORD dwFlags) const {
  if (!m_hwndRich) return m_sText.GetLength();
  GETTEXTLENGTHEX tl{dwFlags, 1200};  // UTF-16
  return static_cast<long>(::SendMessageW(m_hwndRich, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&tl), 0));
}

void CRichEditUI::EndDown() {
  if (m_hwndRich) ::SendMessageW(m_hwndRich, WM_VSCROLL, SB_BOTTOM, 0);
}

void CRichEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CLabelUI::SetPos(rc, bNeedInvalidate);
  PlaceNative();
}

void CRichEditUI::SetVisible(bool bVisible) {
  CLabelUI::SetVisible(bVisible);
  UpdateNativeVisibility();
}

void CRichEditUI::SetInternVisible(bool bVisible) {
  CLabelUI::SetInternVisible(bVisible);
  UpdateNativeVisibility();
}

void CRichEditUI::SetFocus() {
  if (m_hwndRich && IsVisible() && IsEnabled()) {
    ::SetFocus(m_hwndRich);
    return;
  }
  CLabelUI::SetFocus();
}

void CRichEditUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  if (m_pManager && m_pManager != pManager) DestroyNative();
  CLabelUI::SetManager(pManager, pParent, bInit);
}

void CRichEditUI::DoInit() {
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (m_hwndRich && ::GetParent(m_hwndRich) == m_pManager->GetPaintWindow()) return;
  DestroyNative();
  if (!EnsureRichEditClass()) return;
  DWORD style = WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
  if (m_bVScroll) style |= WS_VSCROLL;
  if (m_bReadOnly) style |= ES_READONLY;
  if (m_bWantReturn) style |= ES_WANTRETURN;
  m_hwndRich = ::CreateWindowExW(0, kRichClass, L"", style, 0, 0, 0, 0, m_pManager->GetPaintWindow(), nullptr,
                                 CPaintManagerUI::GetInstance(), nullptr);
  if (!m_hwndRich) return;
  ::SendMessageW(m_hwndRich, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), TRUE);
  ::SendMessageW(m_hwndRich, EM_SETEVENTMASK, 0, ENM_CHANGE);
  DWORD bk = (m_dwBackColor >> 24) ? m_dwBackColor : 0xFFFFFFFF;
  ::SendMessageW(m_hwndRich, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ToColorRef(bk)));
  const TFontInfo* font = m_pManager->GetFontInfo(m_iFont);
  CHARFORMAT2W cf = {};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE;
  cf.crTextColor = ToColorRef(m_dwTextColor);
  cf.yHeight = (font ? font->size : 12) * 15;  // pixels at 96 dpi to twips
  lstrcpynW(cf.szFaceName, font ? font->family.c_str() : L"DejaVu Sans", LF_FACESIZE);
  ::SendMessageW(m_hwndRich, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  if (!m_sText.IsEmpty()) SetText(m_sText);
  ::EnableWindow(m_hwndRich, IsEnabled());
  m_pManager->RegisterNativeWindow(m_hwndRich, this);
  PlaceNative();
  UpdateNativeVisibility();
}

void CRichEditUI::DestroyNative() {
  if (!m_hwndRich) return;
  if (m_pManager) m_pManager->UnregisterNativeWindow(m_hwndRich);
  if (::IsWindow(m_hwndRich)) {
    m_sText = GetText();
    ::DestroyWindow(m_hwndRich);
  }
  m_hwndRich = nullptr;
}

void CRichEditUI::PlaceNative() {
  if (!m_hwndRich) return;
  RECT rc = m_rcItem;
  rc.left += m_rcTextPadding.left + m_nBorderSize;
  rc.right -= m_rcTextPadding.right + m_nBorderSize;
  rc.top += m_rcTextPadding.top + m_nBorderSize;
  rc.bottom -= m_rcTextPadding.bottom + m_nBorderSize;
  ::SetWindowPos(m_hwndRich, nullptr, rc.left, rc.top, rc.right > rc.left ? rc.right - rc.left : 0,
                 rc.bottom > rc.top ? rc.bottom - rc.top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CRichEditUI::UpdateNativeVisibility() {
  if (!m_hwndRich) return;
  ::ShowWindow(m_hwndRich, IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}

LRESULT CRichEditUI::OnNativeMessage(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
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

void CRichEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"readonly")) {
    SetReadOnly(ParseBool(value));
  } else if (EqualsNoCase(name, L"vscrollbar")) {
    m_bVScroll = ParseBool(value);
  } else if (EqualsNoCase(name, L"wantreturn")) {
    m_bWantReturn = ParseBool(value);
  } else {
    CLabelUI::SetAttribute(pstrName, pstrValue);
  }
}

void CRichEditUI::PaintText(HDC hDC) {
  if (!m_hwndRich) CLabelUI::PaintText(hDC);
}

}  // namespace DuiLib
