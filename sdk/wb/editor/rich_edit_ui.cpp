#include "wb/editor/rich_edit_ui.h"

#include <imm.h>
#include <richedit.h>
#include <windowsx.h>

#include <utility>
#include <vector>

#include "base/text/text_holders.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/editor/txt_win_host.h"

namespace kiv {
namespace {

constexpr int kDash[] = {2, 1};
constexpr double kTwipsPerPixel = 20.2;
constexpr UINT kLastMouseMessage = 0x20E;  // WM_MOUSEHWHEEL

std::wstring Wide(const std::string& utf8) {
  Utf8ToWide wide(utf8);
  return wide.Get() ? std::wstring(wide.Get()) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  WideToUtf8 utf8(text.c_str());
  return utf8.Get() ? std::string(utf8.Get()) : std::string();
}

// Edges belong to the rectangle.
bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }

bool IsButtonMessage(UINT message) { return message >= WM_LBUTTONDOWN && message <= WM_RBUTTONUP; }

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
  m_host.Reset();
  if (m_cachedDC) ::ReleaseDC(m_window, m_cachedDC);
}

COLORREF CRichEditUI::GetTextColorRef() const { return ToColorRef(m_textColor); }

HDC CRichEditUI::TakeWindowDC() {
  if (m_cachedDC) ::ReleaseDC(m_window, m_cachedDC);
  m_cachedDC = ::GetDC(m_window);
  return m_cachedDC;
}

bool CRichEditUI::Init(HWND window, GDIPCanvasImpl* canvas) {
  if (m_created) return true;
  m_canvas = canvas;
  // The host acts on the window from its first callback on.
  m_window = window;
  {
    kiv_common::ComRef<CTxtWinHost> host(new CTxtWinHost());
    if (host->Init(this, m_style)) m_host = std::move(host);
  }
  if (m_host) {
    LRESULT ignored = 0;
    SendTextMessage(EM_SETLANGOPTIONS, 0, 0, &ignored);
    m_host->ActivateInPlace();
    SendTextMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_REQUESTRESIZE, &ignored);
  }
  m_created = true;
  return true;
}

HRESULT CRichEditUI::SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (!m_host || !m_host->TextServices()) return S_FALSE;
  return m_host->TextServices()->TxSendMessage(message, wParam, lParam, result);
}

void CRichEditUI::OnTxNotify(DWORD code, void*) {
  if (code == EN_CHANGE) Layout(m_rect.left, m_rect.top);
}

void CRichEditUI::SetTextFont(const std::string& faceUtf8, int size, float pixelSize, uint32_t argb) {
  m_fontFace = Wide(faceUtf8);
  m_fontSize = size;
  m_pixelFontSize = pixelSize;
  LRESULT ignored = 0;
  if (m_host) {
    m_host->SetFont(m_fontFace, static_cast<LONG>(pixelSize * kTwipsPerPixel));
    CHARFORMAT2W format = m_host->CharFormat();
    format.dwMask = CFM_FACE | CFM_SIZE;
    SendTextMessage(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format), &ignored);
  }
  m_textColor = argb & 0x00FFFFFF;
  if (m_host) {
    m_host->SetTextColor(GetTextColorRef());
    CHARFORMAT2W format = m_host->CharFormat();
    format.dwMask = CFM_COLOR;
    SendTextMessage(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format), &ignored);
  }
}

void CRichEditUI::SetText(const std::string& textUtf8) {
  if (!m_host) return;
  LRESULT ignored = 0;
  CHARRANGE all = {0, -1};
  SendTextMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all), &ignored);
  const std::wstring text = Wide(textUtf8);
  SendTextMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()), &ignored);
  Layout(m_rect.left, m_rect.top);
}

void CRichEditUI::MoveTo(int x, int y, int) { Layout(x, y); }

std::wstring CRichEditUI::GetTextW() {
  if (!m_host) return std::wstring();
  GETTEXTLENGTHEX lengthRequest = {GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  LRESULT length = 0;
  if (SendTextMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0, &length) != S_OK ||
      length <= 0) {
    return std::wstring();
  }
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX request = {};
  request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  request.flags = GT_USECRLF;
  request.codepage = 1200;
  LRESULT copied = 0;
  SendTextMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()), &copied);
  if (copied <= 0) return std::wstring();
  return std::wstring(buffer.data(), std::min<size_t>(static_cast<size_t>(copied), buffer.size() - 1));
}

std::string CRichEditUI::GetText() { return Utf8(GetTextW()); }

void CRichEditUI::Layout(int x, int y) {
  std::wstring text = GetTextW();
  if (text.empty()) text = L"W";
  int wW = 0, hW = 0, wT = 0, hT = 0;
  if (m_canvas) {
    m_canvas->SetFontW(m_fontFace, m_fontSize, 0xFF000000 | m_textColor);
    m_canvas->MeasureTextW(L"W", &wW, &hW);
    m_canvas->MeasureTextW(text, &wT, &hT);
  }
  m_rect = RECT{x, y, x + wT + wW, y + hT + hW};
  if (!m_host) return;
  const RECT client = {m_rect.left + m_insets.left, m_rect.top + m_insets.top, m_rect.right - m_insets.right,
                       m_rect.bottom - m_insets.bottom};
  m_host->SetClientRect(client);
}

void CRichEditUI::SetVisible(bool visible) {
  m_visible = visible;
  if (!visible) ::HideCaret(m_window);
  ::InvalidateRect(m_window, nullptr, FALSE);
  ::SetFocus(m_window);
  ::EnableWindow(m_window, TRUE);
}

void CRichEditUI::GetRect(int* left, int* top, int* right, int* bottom) {
  *left = m_rect.left;
  *top = m_rect.top;
  *right = m_rect.right;
  *bottom = m_rect.bottom;
}

void CRichEditUI::Draw(kiv_wb::IBoardCanvas* canvas) {
  if (!m_visible || !canvas) return;
  canvas->SetDash(kDash, 2);
  canvas->SetPen(1, kFrameColour);
  canvas->DrawRect(m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
  canvas->SetDash(nullptr, 0);
  canvas->SetFontW(m_fontFace, m_fontSize, 0xFF000000 | m_textColor);
  canvas->DrawTextW(GetTextW(), m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
}

// Whether a mouse message (or WM_SETCURSOR) is the control's.
bool CRichEditUI::HandleMouse(UINT message, WPARAM, LPARAM lParam) {
  POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!m_captured && IsButtonMessage(message) && !Contains(m_rect, point)) return false;
  if (message == WM_SETCURSOR) {
    ::GetCursorPos(&point);
    ::ScreenToClient(m_window, &point);
  } else if (message == WM_MOUSEWHEEL) {
    ::ScreenToClient(m_window, &point);
  }
  if (!m_captured && !(m_host && Contains(m_host->ClientRect(), point))) return false;
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN) ::SetFocus(m_window);
  return true;
}

void CRichEditUI::PlaceComposition() {
  HIMC context = ::ImmGetContext(m_window);
  if (!context) return;
  POINT caret = {0, 0};
  ::GetCaretPos(&caret);
  COMPOSITIONFORM form = {};
  form.dwStyle = CFS_FORCE_POSITION;
  form.ptCurrentPos.x = caret.x + (m_host ? m_host->CaretWidth() : 0);
  form.ptCurrentPos.y = caret.y;
  ::ImmSetCompositionWindow(context, &form);
  LOGFONTW font = {};
  if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font)) ::ImmSetCompositionFontW(context, &font);
  ::ImmReleaseContext(m_window, context);
}

LRESULT CRichEditUI::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (!m_created || !m_visible) return 0;
  if (message == WM_MOUSEWHEEL && !(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) return 0;
  if ((message >= WM_MOUSEFIRST && message <= kLastMouseMessage) || message == WM_SETCURSOR) {
    if (!HandleMouse(message, wParam, lParam)) return 0;
  } else if (message >= WM_KEYFIRST && message <= WM_UNICHAR) {
    if (!m_focused) {
      *handled = false;
      return 0;
    }
  } else if (message == WM_IME_STARTCOMPOSITION && m_focused) {
    PlaceComposition();
    return 0;
  }
  LRESULT result = 0;
  const HRESULT hr = SendTextMessage(message, wParam, lParam, &result);
  if (message < WM_IME_STARTCOMPOSITION || message > WM_IME_COMPOSITION) *handled = hr == S_OK;
  return result;
}

void CRichEditUI::OnEvent(const Event& event) {
  if (!m_created || !m_visible) return;
  LRESULT ignored = 0;
  switch (event.message) {
    case WM_SETCURSOR: {
      const bool inside = m_host && Contains(m_host->ClientRect(), event.cursor);
      if (inside) {
        m_host->TextServices()->OnTxSetCursor(DVASPECT_CONTENT, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              event.cursor.x, event.cursor.y);
      }
      ::SetClassLongPtrW(m_window, GCLP_HCURSOR,
                         reinterpret_cast<LONG_PTR>(::LoadCursorW(nullptr, inside ? IDC_IBEAM : IDC_CROSS)));
      break;
    }
    case WM_SIZE:
      if (m_host) m_host->SetResized(true);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (m_host) m_host->ActivateInPlace();
      SendTextMessage(event.message, event.wParam, event.lParam, &ignored);
      m_focused = event.message == WM_SETFOCUS;
      ::InvalidateRect(m_window, nullptr, FALSE);
      break;
    case WM_TIMER:
      SendTextMessage(event.message, event.wParam, event.lParam, &ignored);
      break;
    default:
      break;
  }
}

}  // namespace kiv
