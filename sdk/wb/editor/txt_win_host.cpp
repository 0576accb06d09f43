#include "wb/editor/txt_win_host.h"

#include <cwchar>

#include "wb/editor/rich_edit_ui.h"
#include "wb/editor/text_services_ids.h"

namespace kiv {
namespace {

constexpr wchar_t kLibrary[] = L"msftedit.dll";
constexpr char kCreateExport[] = "CreateTextServices";
constexpr DWORD kScrollBarStyles = WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL;

// Logical pixels per inch of the window's DC, horizontally and vertically.
SIZE PixelsPerInch(HWND window) {
  SIZE dpi = {96, 96};
  if (HDC dc = ::GetDC(window)) {
    dpi.cx = ::GetDeviceCaps(dc, LOGPIXELSX);
    dpi.cy = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(window, dc);
  }
  return dpi;
}

}  // namespace

CTxtWinHost::CTxtWinHost() : ComObject(kIidTextHost) {}

CTxtWinHost::~CTxtWinHost() = default;

HWND CTxtWinHost::Window() const { return m_owner ? m_owner->GetWindow() : nullptr; }

void CTxtWinHost::InitFormats(COLORREF colour) {
  m_charFormat = CHARFORMAT2W();
  m_charFormat.cbSize = sizeof(m_charFormat);
  m_charFormat.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET;
  m_charFormat.crTextColor = colour;
  m_paraFormat = PARAFORMAT2();
  m_paraFormat.cbSize = sizeof(m_paraFormat);
  m_paraFormat.dwMask = PFM_ALL;
  m_paraFormat.wAlignment = PFA_LEFT;
  m_paraFormat.cTabCount = 1;
  m_paraFormat.rgxTabs[0] = kDefaultTabTwips;
  if (m_style & ES_CENTER) {
    m_paraFormat.wAlignment = PFA_CENTER;
  } else if (m_style & ES_RIGHT) {
    m_paraFormat.wAlignment = PFA_RIGHT;
  }
}

bool CTxtWinHost::CreateServices() {
  if (!m_library.Load(kLibrary)) return false;
  auto create = reinterpret_cast<PCreateTextServices>(reinterpret_cast<void (*)()>(m_library.GetProc(kCreateExport)));
  if (!create) return false;
  kiv_common::ComRef<IUnknown> unknown;
  if (FAILED(create(nullptr, this, unknown.Receive())) || !unknown) return false;
  return SUCCEEDED(unknown->QueryInterface(kIidTextServices, m_services.ReceiveVoid())) && m_services;
}

bool CTxtWinHost::Init(CRichEditUI* owner, DWORD style) {
  m_owner = owner;
  m_style = style;
  m_textLimit = owner->GetTextLimit();
  m_wordWrap = !(style & (ES_AUTOHSCROLL | WS_HSCROLL));
  InitFormats(owner->GetTextColorRef());
  m_inPlaceActive = true;
  return CreateServices();
}

void CTxtWinHost::SetClientRect(const RECT& rect) {
  m_clientRect = rect;
  const SIZE dpi = PixelsPerInch(Window());
  m_extent.cx = ::MulDiv(rect.right - rect.left, 2540, dpi.cx);
  m_extent.cy = ::MulDiv(rect.bottom - rect.top, 2540, dpi.cy);
  // The view changed; the client rectangle bit too, which is the one some text services
  // (Wine's) read the new rectangle on.
  if (m_services) {
    const DWORD bits = TXTBIT_VIEWINSETCHANGE | TXTBIT_CLIENTRECTCHANGE;
    m_services->OnTxPropertyBitsChange(bits, bits);
  }
}

void CTxtWinHost::ActivateInPlace() {
  if (m_services) m_services->OnTxInPlaceActivate(&m_clientRect);
}

void CTxtWinHost::SetFont(const std::wstring& face, LONG twips) {
  std::wmemset(m_charFormat.szFaceName, 0, LF_FACESIZE);
  face.copy(m_charFormat.szFaceName, LF_FACESIZE - 1);
  m_charFormat.yHeight = twips;
}

void CTxtWinHost::SetTextColor(COLORREF colour) { m_charFormat.crTextColor = colour; }

HDC CTxtWinHost::TxGetDC() { return m_owner ? m_owner->TakeWindowDC() : nullptr; }

INT CTxtWinHost::TxReleaseDC(HDC) { return 1; }

WINBOOL CTxtWinHost::TxShowScrollBar(INT, WINBOOL) { return TRUE; }
WINBOOL CTxtWinHost::TxEnableScrollBar(INT, INT) { return TRUE; }
WINBOOL CTxtWinHost::TxSetScrollRange(INT, LONG, INT, WINBOOL) { return TRUE; }
WINBOOL CTxtWinHost::TxSetScrollPos(INT, INT, WINBOOL) { return TRUE; }

void CTxtWinHost::TxInvalidateRect(LPCRECT, WINBOOL) { ::InvalidateRect(Window(), nullptr, FALSE); }

void CTxtWinHost::TxViewChange(WINBOOL) {
  if (m_owner && m_owner->CanRedraw()) ::InvalidateRect(Window(), nullptr, FALSE);
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height) {
  m_caretWidth = width;
  m_caretHeight = height;
  return ::CreateCaret(Window(), bitmap, width, height);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) {
  m_caretShown = show != FALSE;
  return show ? ::ShowCaret(Window()) : ::HideCaret(Window());
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
  ::InvalidateRect(Window(), nullptr, FALSE);
  return ::SetCaretPos(x + 2, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) {
  m_timerSet = ::SetTimer(Window(), id, timeout, nullptr) != 0;
  return m_timerSet;
}

void CTxtWinHost::TxKillTimer(UINT id) {
  ::KillTimer(Window(), id);
  m_timerSet = false;
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT) {}

void CTxtWinHost::TxSetCapture(WINBOOL capture) {
  if (capture) {
    ::SetCapture(Window());
  } else {
    ::ReleaseCapture();
  }
  m_captured = capture != FALSE;
  if (m_owner) m_owner->SetCaptured(m_captured);
}

void CTxtWinHost::TxSetFocus() { ::SetFocus(Window()); }

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL) { ::SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT point) { return ::ScreenToClient(Window(), point); }

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT point) { return ::ClientToScreen(Window(), point); }

HRESULT CTxtWinHost::TxActivate(LONG*) { return S_OK; }
HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect) {
  *rect = m_clientRect;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect) {
  *rect = RECT{0, 0, 0, 0};
  return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format) {
  *format = reinterpret_cast<const CHARFORMATW*>(&m_charFormat);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format) {
  *format = reinterpret_cast<const PARAFORMAT*>(&m_paraFormat);
  return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return ::GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  *style = TXTBACK_OPAQUE;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
  *length = static_cast<DWORD>(m_textLimit);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* scrollBars) {
  *scrollBars = m_style & kScrollBarStyles;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch) {
  *ch = m_passwordChar;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* cp) {
  *cp = m_acceleratorPos;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent) {
  *extent = m_extent;
  return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }
HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  DWORD value = 0;
  if (m_owner && m_owner->IsRich()) value |= TXTBIT_RICHTEXT;
  if (m_style & ES_MULTILINE) value |= TXTBIT_MULTILINE;
  if (m_style & ES_READONLY) value |= TXTBIT_READONLY;
  if (m_style & ES_PASSWORD) value |= TXTBIT_USEPASSWORD;
  if (!(m_style & ES_NOHIDESEL)) value |= TXTBIT_HIDESELECTION;
  if (m_wordWrap) value |= TXTBIT_WORDWRAP;
  *bits = value & mask;
  return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data) {
  if (code == EN_REQUESTRESIZE) {
    const auto* request = static_cast<const REQRESIZE*>(data);
    if (!request) return S_OK;
    if (m_firstRequestedHeight < 0) m_firstRequestedHeight = request->rc.bottom - request->rc.top;
    m_clientRect.right = m_clientRect.left + request->rc.right;
    m_clientRect.bottom = m_clientRect.top + request->rc.bottom;
    return S_OK;
  }
  if (m_owner) m_owner->OnTxNotify(code, data);
  return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() { return nullptr; }

void CTxtWinHost::TxImmReleaseContext(HIMC) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
  *width = m_selectionBarWidth;
  return S_OK;
}

}  // namespace kiv
