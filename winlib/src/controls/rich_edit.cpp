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

LPCTSTR CRichEditUI::GetClass() const { return L"RichEditUI"; }

LPVOID CRichEditUI::GetInterface(LPCTSTR pstrName) {
  if (_wcsicmp(pstrName, L"RichEdit") == 0) return static_cast<CRichEditUI*>(this);
  return CNativeTextUI::GetInterface(pstrName);
}

long CRichEditUI::AppendText(LPCTSTR pstrText, bool bCanUndo) {
  if (!m_hwndNative) {
    long start = m_sText.GetLength();
    m_sText += pstrText;
    return start;
  }
  long start = GetTextLength(GTL_NUMCHARS | GTL_PRECISE);
  SetSel(-1, -1);
  ::SendMessageW(m_hwndNative, EM_REPLACESEL, bCanUndo ? TRUE : FALSE,
                 reinterpret_cast<LPARAM>(pstrText ? pstrText : L""));
  return start;
}

int CRichEditUI::SetSel(long nStartChar, long nEndChar) {
  if (!m_hwndNative) return 0;
  CHARRANGE cr{nStartChar, nEndChar};
  return static_cast<int>(::SendMessageW(m_hwndNative, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr)));
}

bool CRichEditUI::SetSelectionCharFormat(CHARFORMAT2W& cf) {
  if (!m_hwndNative) return false;
  cf.cbSize = sizeof(CHARFORMAT2W);
  return ::SendMessageW(m_hwndNative, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0;
}

bool CRichEditUI::SetDefaultCharFormat(CHARFORMAT2W& cf) {
  if (!m_hwndNative) return false;
  cf.cbSize = sizeof(CHARFORMAT2W);
  return ::SendMessageW(m_hwndNative, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)) != 0;
}

bool CRichEditUI::SetParaFormat(PARAFORMAT2& pf) {
  if (!m_hwndNative) return false;
  pf.cbSize = sizeof(PARAFORMAT2);
  return ::SendMessageW(m_hwndNative, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)) != 0;
}

long CRichEditUI::GetTextLength(DWORD dwFlags) const {
  if (!m_hwndNative) return m_sText.GetLength();
  GETTEXTLENGTHEX tl{dwFlags, 1200};  // UTF-16
  return static_cast<long>(::SendMessageW(m_hwndNative, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&tl), 0));
}

void CRichEditUI::EndDown() {
  if (m_hwndNative) ::SendMessageW(m_hwndNative, WM_VSCROLL, SB_BOTTOM, 0);
}

void CRichEditUI::CreateNative(HWND hwndParent) {
  if (!EnsureRichEditClass()) return;
  DWORD style = WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
  if (m_bVScroll) style |= WS_VSCROLL;
  if (m_bReadOnly) style |= ES_READONLY;
  if (m_bWantReturn) style |= ES_WANTRETURN;
  m_hwndNative = ::CreateWindowExW(0, kRichClass, L"", style, 0, 0, 0, 0, hwndParent, nullptr,
                                   CPaintManagerUI::GetInstance(), nullptr);
  if (!m_hwndNative) return;
  ::SendMessageW(m_hwndNative, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), TRUE);
  ::SendMessageW(m_hwndNative, EM_SETEVENTMASK, 0, ENM_CHANGE);
  DWORD bk = (m_dwBackColor >> 24) ? m_dwBackColor : 0xFFFFFFFF;
  ::SendMessageW(m_hwndNative, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ToColorRef(bk)));
  const TFontInfo* font = m_pManager->GetFontInfo(m_iFont);
  CHARFORMAT2W cf = {};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE;
  cf.crTextColor = ToColorRef(m_dwTextColor);
  cf.yHeight = (font ? font->size : 12) * 15;  // pixels at 96 dpi to twips
  lstrcpynW(cf.szFaceName, font ? font->family.c_str() : L"DejaVu Sans", LF_FACESIZE);
  ::SendMessageW(m_hwndNative, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  if (!m_sText.IsEmpty()) SetText(m_sText);
}

void CRichEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  const std::wstring name(pstrName), value(pstrValue);
  if (EqualsNoCase(name, L"vscrollbar")) {
    m_bVScroll = ParseBool(value);
  } else if (EqualsNoCase(name, L"wantreturn")) {
    m_bWantReturn = ParseBool(value);
  } else {
    CNativeTextUI::SetAttribute(pstrName, pstrValue);
  }
}

}  // namespace DuiLib
